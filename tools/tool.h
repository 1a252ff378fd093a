// Shared pieces of the lumerin command-line tool: argument reading and error exits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Args = std::vector<std::string>;

constexpr int kUsageError = 2;

// Prints "lumerin: <message>" on stderr and returns kUsageError.
int UsageError(const std::string& message);

// Reads a non-negative decimal number no larger than `max`; false for anything else.
bool ReadNumber(const std::string& text, long max, long* value);

// Reads RRGGBB, as written on the web, into a COLORREF (red in the low byte).
bool ReadColor(const std::string& text, uint32_t* colorref);

// Reads ENTRY (0..15) and GEN from the two words; on failure prints the error.
bool ReadEntryAndGeneration(const Args& args, size_t first, int* entry, int* generation);

// Builds generation `generation` of `entry` into CurrentString. Returns the generation
// actually built: smaller when the requested one would not fit.
int BuildGeneration(int entry, int generation);

// BuildGeneration, with a note on stderr when a smaller generation had to be built;
// `action` says what the command does with it instead ("printing", "drawing").
int BuildGenerationNoting(int entry, int generation, const char* action);

// Every command of the tool, with its line of 'lumerin help'.
struct CommandUsage {
  const char* name;
  const char* usage;
};
std::vector<CommandUsage> CommandList();

int RunList(const Args& args);
int RunGenerate(const Args& args);
int RunRender(const Args& args);
int RunGallery(const Args& args);
int RunDigest(const Args& args);
int RunSaver(const Args& args);
int RunWallpaper(const Args& args);
int RunLock(const Args& args);
int RunPower(const Args& args);
int RunCompletion(const Args& args);
