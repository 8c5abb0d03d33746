// Whether the console is a person's: standard input or output connected to a terminal rather
// than to a file or a pipe. The closing pause waits only for a person, and output to a terminal
// is shown as it comes.
//
//     if (standardInputIsTerminal()) { /* someone can press Enter */ }
#pragma once

namespace vk {

bool standardInputIsTerminal();
bool standardOutputIsTerminal();

} // namespace vk
