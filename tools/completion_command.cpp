// lumerin completion bash|zsh|fish: the shells' completion of the tool, written from the
// commands' help lines and the saver's option table, so that a command or an option added
// there is completed too. The build writes the three files with it. Offers the commands,
// their options, the entries of --fractal and the palettes of --palette (by name where the
// shell shows descriptions), draw and pause for --battery, and for --output the names
// that swaymsg or wlr-randr give, where either is there.
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "core/catalogue.h"
#include "render/palette.h"
#include "tools/saver_options.h"
#include "tools/tool.h"

namespace {

struct OptionWords {
  std::string name;   // with two dashes
  std::string value;  // the usage's word for its value, empty for none
};

struct CommandWords {
  std::string name, description;
  std::vector<OptionWords> options;
};

// The saver's and the wallpaper's options from the table (the standard display-mode
// options that mean nothing are left out), the others' from their help lines.
std::vector<CommandWords> Commands() {
  std::vector<CommandWords> commands;
  const std::regex option("(--[a-z][a-z-]*)( ([A-Z][A-Za-z]*|[a-z]+\\|[a-z|]+))?");
  for (const CommandUsage& usage : CommandList()) {
    CommandWords command = {usage.name, "", {}};
    const std::string text = usage.usage;
    // The description: the first run of words after three spaces that is no option list.
    const std::regex described("   +([^ \\[][^\\n]*)");
    for (std::sregex_iterator it(text.begin(), text.end(), described), end; it != end; ++it) {
      command.description = (*it)[1];
      break;
    }
    const std::string name = usage.name;
    if (name == "saver" || name == "wallpaper" || name == "lock") {
      for (const SaverOptionInfo& info : SaverOptionList()) {
        const bool taken = name == "saver"       ? info.saver
                           : name == "wallpaper" ? info.wallpaper
                                                 : info.lock;
        const std::string n = info.name;
        if (!taken || n == "--visual" || n == "--install" || n == "--mono" || n == "--fps" ||
            n == "--no-fps")
          continue;
        command.options.push_back({n, info.value});
      }
    } else {
      for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it) {
        bool seen = false;
        for (const OptionWords& o : command.options) seen = seen || o.name == (*it)[1];
        if (!seen) command.options.push_back({(*it)[1], (*it)[3]});
      }
    }
    commands.push_back(command);
  }
  return commands;
}

// Text inside single quotes of bash and zsh.
std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Text inside single quotes of fish, which takes \' and \\ there.
std::string FishQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "'";
}

std::string Join(const std::vector<std::string>& words) {
  std::string joined;
  for (const std::string& w : words) joined += (joined.empty() ? "" : " ") + w;
  return joined;
}

// "N<separator>name" for every fractal, or every palette.
std::vector<std::pair<std::string, std::string>> Fractals() {
  std::vector<std::pair<std::string, std::string>> list;
  for (int i = 0; i < kFractalCount; ++i)
    list.push_back({std::to_string(i), FractalCatalogue[i].title});
  return list;
}

std::vector<std::pair<std::string, std::string>> Palettes() {
  std::vector<std::pair<std::string, std::string>> list;
  for (int i = 0; i < kPaletteCount; ++i) list.push_back({std::to_string(i), paletteNames[i]});
  return list;
}

std::vector<std::string> Numbers(const std::vector<std::pair<std::string, std::string>>& list) {
  std::vector<std::string> numbers;
  for (const auto& item : list) numbers.push_back(item.first);
  return numbers;
}

// The output names of the compositor, one a line, as sh reads them: sway's, else
// wlr-randr's (whose unindented lines start with a name).
const char kOutputsSh[] =
    "  if command -v swaymsg >/dev/null 2>&1; then\n"
    "    swaymsg -t get_outputs 2>/dev/null | sed -n 's/^Output \\([^ ]*\\).*/\\1/p' | grep .\n"
    "  fi || if command -v wlr-randr >/dev/null 2>&1; then\n"
    "    wlr-randr 2>/dev/null | sed -n '/^[^[:space:]]/s/[[:space:]].*//p'\n"
    "  fi\n";

void Bash(const std::vector<CommandWords>& commands) {
  std::vector<std::string> names;
  for (const CommandWords& c : commands) names.push_back(c.name);
  std::printf("# bash completion for lumerin, written by 'lumerin completion bash'.\n");
  std::printf("_lumerin_outputs() {\n%s}\n\n", kOutputsSh);
  std::printf("_lumerin() {\n");
  std::printf("  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n");
  std::printf("  local command=${COMP_WORDS[1]} IFS=$'\\n'\n");
  std::printf("  COMPREPLY=()\n");
  std::printf("  if [ \"$COMP_CWORD\" -eq 1 ]; then\n");
  std::printf("    case $cur in -*) command=saver ;; *)\n");
  std::printf("      COMPREPLY=($(IFS=' ' compgen -W %s -- \"$cur\"))\n",
              ShellQuoted(Join(names)).c_str());
  std::printf("      return ;;\n    esac\n  fi\n");
  // XScreenSaver's way: a first word that is an option runs the saver.
  std::printf("  case $command in -*) command=saver ;; esac\n");
  // Options with one dash where the word starts with one, as the hosts write them.
  std::printf("  local dashes=--\n  case $cur in --*) ;; -*) dashes=- ;; esac\n");
  std::printf("  case $prev in\n");
  std::printf(
      "    --fractal|-fractal) COMPREPLY=($(IFS=' ' compgen -W %s -- \"$cur\")); return ;;\n",
      ShellQuoted(Join(Numbers(Fractals()))).c_str());
  std::printf(
      "    --palette|-palette) COMPREPLY=($(IFS=' ' compgen -W %s -- \"$cur\")); return ;;\n",
      ShellQuoted(Join(Numbers(Palettes()))).c_str());
  std::printf(
      "    --output) COMPREPLY=($(compgen -W \"$(_lumerin_outputs)\" -- \"$cur\")); return ;;\n");
  // Every other option that takes a value: its choices, a file, or the user's own word.
  std::vector<std::string> free, files;
  for (const CommandWords& c : commands) {
    for (const OptionWords& o : c.options) {
      if (o.value.empty() || o.name == "--fractal" || o.name == "--palette" || o.name == "--output")
        continue;
      if (o.value.find('|') != std::string::npos) {
        std::string choices = o.value;
        for (char& ch : choices)
          if (ch == '|') ch = ' ';
        std::printf("    %s|-%s) COMPREPLY=($(IFS=' ' compgen -W %s -- \"$cur\")); return ;;\n",
                    o.name.c_str(), o.name.substr(2).c_str(), ShellQuoted(choices).c_str());
      } else if (o.value == "FILE") {
        files.push_back(o.name);
      } else {
        free.push_back(o.name);
        free.push_back("-" + o.name.substr(2));
      }
    }
  }
  auto alternatives = [](std::vector<std::string> words) {
    std::string joined;
    for (size_t i = 0; i < words.size(); ++i) {
      bool seen = false;
      for (size_t j = 0; j < i; ++j) seen = seen || words[j] == words[i];
      if (!seen) joined += (joined.empty() ? "" : "|") + words[i];
    }
    return joined;
  };
  if (!files.empty())
    std::printf("    %s) COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n",
                alternatives(files).c_str());
  if (!free.empty()) std::printf("    %s) return ;;\n", alternatives(free).c_str());
  std::printf("  esac\n");
  std::printf("  case $command in\n");
  for (const CommandWords& c : commands) {
    std::vector<std::string> options;
    for (const OptionWords& o : c.options) options.push_back(o.name);
    if (c.name == "completion") options = {"bash", "zsh", "fish"};
    if (c.name == "gallery") {
      std::printf("    gallery) COMPREPLY=($(compgen -d -- \"$cur\")) ;;\n");
      continue;
    }
    if (options.empty()) continue;
    std::string spelt = Join(options);
    if (c.name == "saver" || c.name == "wallpaper" || c.name == "lock") {
      // "--a --b" becomes "${dashes}a ${dashes}b".
      spelt.clear();
      for (const std::string& o : options)
        spelt += (spelt.empty() ? "" : " ") + ("${dashes}" + o.substr(2));
      std::printf("    %s) COMPREPLY=($(IFS=' ' compgen -W \"%s\" -- \"$cur\")) ;;\n",
                  c.name.c_str(), spelt.c_str());
    } else {
      std::printf("    %s) COMPREPLY=($(IFS=' ' compgen -W %s -- \"$cur\")) ;;\n", c.name.c_str(),
                  ShellQuoted(spelt).c_str());
    }
  }
  std::printf("  esac\n}\n");
  std::printf("complete -F _lumerin lumerin\n");
}

// zsh's "value:description" list of an array.
std::string ZshList(const std::vector<std::pair<std::string, std::string>>& list) {
  std::vector<std::string> items;
  for (const auto& item : list) items.push_back(ShellQuoted(item.first + ":" + item.second));
  return Join(items);
}

void Zsh(const std::vector<CommandWords>& commands) {
  std::printf("#compdef lumerin\n");
  std::printf("# zsh completion for lumerin, written by 'lumerin completion zsh'.\n\n");
  std::printf("_lumerin_outputs() {\n  local -a names\n");
  std::printf("  names=(${(f)\"$(\n%s  )\"})\n", kOutputsSh);
  std::printf("  compadd -a names\n}\n\n");
  std::printf("_lumerin_fractals() {\n  local -a entries\n  entries=(%s)\n",
              ZshList(Fractals()).c_str());
  std::printf("  _describe -t fractals 'catalogue entry' entries -V1\n}\n\n");
  std::printf("_lumerin_palettes() {\n  local -a palettes\n  palettes=(%s)\n",
              ZshList(Palettes()).c_str());
  std::printf("  _describe -t palettes 'palette' palettes -V1\n}\n\n");
  std::printf("_lumerin() {\n  local -a commands\n  commands=(\n");
  for (const CommandWords& c : commands)
    std::printf("    %s\n", ShellQuoted(c.name + ":" + c.description).c_str());
  std::printf("  )\n");
  std::printf("  if (( CURRENT == 2 )); then\n");
  std::printf("    _describe -t commands 'lumerin command' commands\n    return\n  fi\n");
  std::printf("  local command=$words[2]\n  [[ $command == -* ]] && command=saver\n");
  std::printf("  shift words\n  (( CURRENT-- ))\n");
  std::printf("  case $command in\n");
  for (const CommandWords& c : commands) {
    if (c.name == "completion") {
      std::printf("    completion) _values shell bash zsh fish ;;\n");
      continue;
    }
    if (c.name == "gallery") {
      std::printf("    gallery) _files -/ ;;\n");
      continue;
    }
    if (c.options.empty()) continue;
    std::printf("    %s) _arguments -s", c.name.c_str());
    for (const OptionWords& o : c.options) {
      std::string action;
      if (o.name == "--fractal")
        action = ":entry:_lumerin_fractals";
      else if (o.name == "--palette")
        action = ":palette:_lumerin_palettes";
      else if (o.name == "--output")
        action = ":output:_lumerin_outputs";
      else if (o.value == "FILE")
        action = ":file:_files";
      else if (o.value.find('|') != std::string::npos) {
        std::string choices = o.value;
        for (char& ch : choices)
          if (ch == '|') ch = ' ';
        action = ":" + o.value + ":(" + choices + ")";
      } else if (!o.value.empty())
        action = ":" + o.value + ": ";
      std::printf(" \\\n        %s", ShellQuoted("*" + o.name + action).c_str());
    }
    std::printf(" ;;\n");
  }
  std::printf("  esac\n}\n\n");
  std::printf("_lumerin \"$@\"\n");
}

void Fish(const std::vector<CommandWords>& commands) {
  std::printf("# fish completion for lumerin, written by 'lumerin completion fish'.\n");
  std::printf("function __lumerin_outputs\n");
  std::printf("    if command -q swaymsg\n");
  std::printf(
      "        set -l names (swaymsg -t get_outputs 2>/dev/null | string replace -rf '^Output "
      "(\\S+).*' '$1')\n");
  std::printf(
      "        if set -q names[1]\n            printf '%%s\\n' $names\n            return\n        "
      "end\n    end\n");
  std::printf("    if command -q wlr-randr\n");
  std::printf(
      "        wlr-randr 2>/dev/null | string replace -rf '^(\\S+).*' '$1'\n    end\nend\n");
  auto list = [](const char* function,
                 const std::vector<std::pair<std::string, std::string>>& items) {
    std::printf("function %s\n", function);
    for (const auto& item : items)
      std::printf("    printf '%%s\\t%%s\\n' %s %s\n", item.first.c_str(),
                  FishQuoted(item.second).c_str());
    std::printf("end\n");
  };
  list("__lumerin_fractals", Fractals());
  list("__lumerin_palettes", Palettes());
  std::printf("complete -c lumerin -f\n");
  for (const CommandWords& c : commands)
    std::printf("complete -c lumerin -n __fish_use_subcommand -a %s -d %s\n", c.name.c_str(),
                FishQuoted(c.description).c_str());
  for (const CommandWords& c : commands) {
    const std::string when = FishQuoted("__fish_seen_subcommand_from " + c.name);
    if (c.name == "completion")
      std::printf("complete -c lumerin -n %s -a 'bash zsh fish'\n", when.c_str());
    if (c.name == "gallery") std::printf("complete -c lumerin -n %s -F\n", when.c_str());
    for (const OptionWords& o : c.options) {
      std::string values;
      if (o.name == "--fractal")
        values = " -x -a '(__lumerin_fractals)'";
      else if (o.name == "--palette")
        values = " -x -a '(__lumerin_palettes)'";
      else if (o.name == "--output")
        values = " -x -a '(__lumerin_outputs)'";
      else if (o.value == "FILE")
        values = " -r -F";
      else if (o.value.find('|') != std::string::npos) {
        std::string choices = o.value;
        for (char& ch : choices)
          if (ch == '|') ch = ' ';
        values = " -x -a " + FishQuoted(choices);
      } else if (!o.value.empty())
        values = " -x";
      std::printf("complete -c lumerin -n %s -l %s%s\n", when.c_str(), o.name.substr(2).c_str(),
                  values.c_str());
    }
  }
}

}  // namespace

int RunCompletion(const Args& args) {
  if (args.size() != 2 || (args[1] != "bash" && args[1] != "zsh" && args[1] != "fish"))
    return UsageError("completion expects bash, zsh or fish");
  const std::vector<CommandWords> commands = Commands();
  if (args[1] == "bash")
    Bash(commands);
  else if (args[1] == "zsh")
    Zsh(commands);
  else
    Fish(commands);
  return 0;
}
