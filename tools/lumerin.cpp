// lumerin: the native command-line tool for looking at the catalogue and its figures.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/catalogue.h"
#include "core/rewrite.h"
#include "settings/settings.h"
#include "tools/tool.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const Args&);
  const char* usage;
};

int RunHelp(const Args&);

const Command kCommands[] = {
    {"list", RunList, "list                       the sixteen catalogue entries"},
    {"generate", RunGenerate, "generate ENTRY GEN [--length]  generation GEN (0 = axiom) of ENTRY"},
    {"render", RunRender,
     "render ENTRY GEN --size WxH [--angle DEG] [--ops] [--png FILE] [--svg FILE]\n"
     "         [--gif FILE [--speed X] [--hold TENTHS]]\n"
     "         [--palette 0-4] [--line-width N] [--background RRGGBB]\n"
     "                             the drawing pass of generation GEN: its operations\n"
     "                             (move X Y, line PEN X Y) and/or an image; --gif shows\n"
     "                             it growing at the saver's pace times X (default 1),\n"
     "                             the figure held TENTHS (0-50, default 20) at the end"},
    {"gallery", RunGallery,
     "gallery DIR                one PNG per entry, last offered generation"},
    {"digest", RunDigest,
     "digest --size WxH          a digest of the drawing pass of every generation the\n"
     "                             settings offer, one line per entry and generation"},
    {"saver", RunSaver,
     "saver [--root | --window-id ID] [OPTIONS]\n"
     "                             the screen saver in a window, or over every output in\n"
     "                             a Wayland session (see 'lumerin saver --help')"},
    {"wallpaper", RunWallpaper,
     "wallpaper [OPTIONS] [--output NAME]...\n"
     "                             a live wallpaper on Wayland (see 'lumerin wallpaper --help')"},
    {"lock", RunLock,
     "lock [OPTIONS] [--daemonize]\n"
     "                             locks a Wayland session with the figures growing on\n"
     "                             every output (see 'lumerin lock --help')"},
    {"power", RunPower,
     "power [--follow]           'battery' or 'mains', as UPower tells the wallpaper;\n"
     "                             with --follow, again at every change"},
    {"completion", RunCompletion,
     "completion bash|zsh|fish   the shell's completion of lumerin's commands and options"},
    {"help", RunHelp, "help                       this text"},
};

int RunHelp(const Args&) {
  std::printf("usage: lumerin COMMAND ...\n");
  for (const Command& c : kCommands) std::printf("  lumerin %s\n", c.usage);
  return 0;
}

}  // namespace

std::vector<CommandUsage> CommandList() {
  std::vector<CommandUsage> list;
  for (const Command& c : kCommands) list.push_back({c.name, c.usage});
  return list;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "lumerin: %s\n", message.c_str());
  return kUsageError;
}

bool ReadEntryAndGeneration(const Args& args, size_t first, int* entry, int* generation) {
  long e = 0, g = 0;
  if (args.size() < first + 2) {
    UsageError("expected ENTRY and GEN");
    return false;
  }
  if (!ReadNumber(args[first], kFractalCount - 1, &e)) {
    UsageError("unknown entry '" + args[first] + "' (expected 0 to 15)");
    return false;
  }
  if (!ReadNumber(args[first + 1], 100000, &g)) {
    UsageError("bad generation '" + args[first + 1] + "' (expected a number from 0)");
    return false;
  }
  *entry = static_cast<int>(e);
  *generation = static_cast<int>(g);
  return true;
}

int BuildGeneration(int entry, int generation) {
  Settings.NumFractal = entry;
  ResetCurrentString();
  Rewrite();
  for (int g = 1; g <= generation; ++g) {
    if (!Rewrite()) return g - 1;
  }
  return generation;
}

int BuildGenerationNoting(int entry, int generation, const char* action) {
  const int built = BuildGeneration(entry, generation);
  if (built < generation) {
    std::fprintf(stderr,
                 "lumerin: generation %d of entry %d does not fit in %zu symbols; "
                 "%s generation %d\n",
                 generation, entry, kStringCapacity - 1, action, built);
  }
  return built;
}

int RunList(const Args& args) {
  if (args.size() > 1) return UsageError("list takes no arguments");
  std::printf("%-5s %-24s %5s %6s %5s %6s\n", "entry", "title", "turn", "start", "gens", "slide");
  for (int i = 0; i < kFractalCount; ++i) {
    const FractalRecord& e = FractalCatalogue[i];
    std::printf("%5d %-24s %5d %6d %5d %6d\n", i, e.title, e.turnAngle, e.startAngle, e.maxIter,
                e.slideIter - 1);
  }
  return 0;
}

int RunGenerate(const Args& args) {
  int entry = 0, generation = 0;
  bool lengthOnly = false;
  Args words;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--length") {
      lengthOnly = true;
    } else if (args[i].size() > 1 && args[i][0] == '-' &&
               !(args[i][1] >= '0' && args[i][1] <= '9')) {
      return UsageError("unknown option '" + args[i] + "'");
    } else {
      words.push_back(args[i]);
    }
  }
  if (words.size() != 2) return UsageError("generate expects ENTRY GEN [--length]");
  words.insert(words.begin(), "generate");
  if (!ReadEntryAndGeneration(words, 1, &entry, &generation)) return kUsageError;
  BuildGenerationNoting(entry, generation, "printing");
  if (lengthOnly)
    std::printf("%zu\n", CurrentLength());
  else
    std::printf("%s\n", CurrentString);
  return 0;
}

int main(int argc, char** argv) {
  Args args(argv + 1, argv + argc);
  if (args.empty()) {
    RunHelp(args);
    return kUsageError;
  }
  // XScreenSaver starts a display mode by its program name with options only ("lumerin
  // --root ..."): a first argument that is an option means the saver.
  if (!args[0].empty() && args[0][0] == '-') args.insert(args.begin(), "saver");
  for (const Command& c : kCommands) {
    if (args[0] == c.name) return c.run(args);
  }
  return UsageError("unknown command '" + args[0] + "' (try 'lumerin help')");
}
