// Every refusal of a name in words: the boxes of the rename command and the
// lines of a port map that the command line refuses. The two say the same
// verdicts of the name rule to different readers.
#pragma once

#include <string>

#include "discovery/port_record.h"
#include "rename/name_rule.h"

namespace velnara {

constexpr const char* kNameInUseFormat = "Port Name '%s' already used by installed Tarvex 880";
constexpr const char* kEmptyNameText = "Please enter a Port Name";
constexpr const char* kNameClaimedFormat =
    "COM name database claims Port '%s' is used by (or reserved for) other serial port "
    "hardware\nThe port concerned will not appear in the VELNARA list";
// A name refused for its form or for another device of Windows: the name,
// then why ("is reserved by Windows for another device").
constexpr const char* kNameRefusedFormat = "Port Name '%s' %s";
// Below the claim's text, a line for each holder of the name, or this one.
constexpr const char* kNoListedHolderLine = "Claimed for no device that Windows lists.";
// Ends the claim's text when no holder is connected: Yes takes the name.
constexpr const char* kTakeNameFormat = "No connected device uses %s. Give %s to this port anyway?";

// `format` with each "%s" replaced, in order, by the next of `values`.
std::string FillFormat(const char* format, std::initializer_list<std::string> values);

// The box that says who holds a name taken for other hardware: the claim's
// text, a blank line, and a line for each holder.
std::string HeldNameText(const NameHolding& holding);

// The rename command's box for a name the rule refuses outright (every
// verdict but kFree, and but a name held only by hardware that is gone,
// which TakeNameQuestion asks about).
std::string RefusalBoxText(const NameCheck& check, const std::string& name);
// Whether the user may still take the name: held for other hardware, none
// of it connected.
bool MayBeTaken(const NameCheck& check);
// The question of such a name: its holders, then whether to take it.
std::string TakeNameQuestion(const NameCheck& check, const std::string& name);

// The line that says why a map may not give `port` the name `name`.
std::string RefusalLine(const NameCheck& check, const PortRecord& port, const std::string& name);

}  // namespace velnara
