// Reading the module's text files line by line, as Windows reads them in text
// mode, whatever editor wrote them.
#pragma once

#include <istream>
#include <string>

// Skips a UTF-8 byte-order mark at the stream's start (Notepad writes one),
// which would otherwise become part of the first line.
void SkipByteOrderMark(std::istream& in);

// One line without its line end, which is "\n", "\r\n" or a lone "\r" (old
// Mac editors); false only when nothing is left.
bool ReadTextLine(std::istream& in, std::string& line);
