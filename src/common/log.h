// The diagnostic log: one line appended per call to SharedDetails.log in the
// module's documents folder. Never reports anything to the caller.
#pragma once

#include <optional>
#include <string>

// The full path of one of the module's files ("SharedDetails.log", "LVars.cfg",
// "SharedConfig.cfg"), built afresh; nothing when the documents folder is
// unknown or the path would not fit the simulator's 260-character buffer.
std::optional<std::string> ModuleFilePath(const char* fileName);
// The folder of those files: Veltrana/Quelvo in the documents folder.
std::optional<std::string> ModuleFolder();

void LogMessage(std::string text);
// The reliable channel's messages go to the console, as they always did, and
// to the log, which is all a pilot inside the simulator sees.
void PrintAndLog(const std::string& text);
