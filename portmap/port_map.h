// The port map: the ports of a PC and their names as a text an
// administrator edits in Notepad, one line a port.
//
//   ; Tarvex 880-4 RJ45
//   PCI 2.12.0 port 1 = COM3
//   COM14 = COM16
//
// "PCI 2.12.0 port 1" names a port by what identical PCs share: its card's
// PCI bus, device and function (decimal) and its number on the card, from
// 1 (its port device key's index + 1). "COM14" names a port by the name the
// registry holds for it now. Blank lines and lines that begin with ';' or
// '#' say nothing, and a ';' or '#' after a blank begins a comment that
// runs to the end of the line (so a name holds neither); keywords are read
// without regard to case, and the spaces around '=' and between the words
// may be left out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "discovery/port_address.h"
#include "discovery/port_record.h"

namespace velnara {

// Where this PC's cards are, for a map made on another: "PCI 2.9.0 (Tarvex
// 880-4 RJ45, 4 ports), PCI 2.10.0 (...)"; "no Tarvex 880 card" for none.
std::string FormatCards(const PortRecord* boards);

// The port map of a board list: each card's model name in a comment line,
// below it a line for each of its ports with the name the registry holds
// for it now; lines end with CR LF. Applied unchanged it changes nothing.
// A port whose name no map line can give back (a name of a form the name
// rule refuses: "A=B", " COM5", a control character, "LPT1") is written as
// a comment that says why, so that the rest of the map still applies; each
// such port is said in *leftOut (when given), one line each.
std::string FormatPortMap(const PortRecord* boards, std::vector<std::string>* leftOut = nullptr);

// One line of a map that names a port and its new name.
struct MapEntry {
  int line = 0;             // where it stands, from 1
  bool byAddress = false;   // "PCI ..." or a current name
  PortAddress address;      // when by address
  std::string currentName;  // otherwise
  std::string newName;      // as written, without the spaces around it
};

// A line refused, and why.
struct MapProblem {
  int line = 0;
  std::string text;
  bool noPortThere = false;  // its address names no port of this PC
};

// The longest line and the largest map read: far beyond any real map, small
// enough that a wrong file is refused rather than read for long.
constexpr std::size_t kMaxMapLine = 1000;
constexpr std::size_t kMaxMapBytes = 1024 * 1024;

// Reads one line, numbered `number`: true with *entry filled for an entry,
// true with entry->line 0 for a blank or comment line, false with *problem
// for anything else.
bool ParseMapLine(const std::string& text, int number, MapEntry* entry, std::string* problem);

// Reads a whole map as a file holds it (ANSI, CR LF or LF, a last line
// with or without its end, and what Windows tools add: a CR CR LF is one
// line end, and a Ctrl-Z, which "copy /a" appends, ends the text): its
// entries, and a problem for every line that cannot be read. A map saved as
// Unicode is refused as a whole.
void ParsePortMap(const std::string& text, std::vector<MapEntry>* entries,
                  std::vector<MapProblem>* problems);

// A port a map names, and the name the map gives it.
struct MappedPort {
  int line = 0;
  PortRecord* port = nullptr;
  std::string newName;
};

// The port of the board list that each entry names: a problem for an entry
// that names no port, more than one port (two ports hold one name) or a
// port an earlier entry named. "COM5 = COM47" where no port is COM5 and
// one is COM47 names that port, which keeps its name: a map applied twice
// changes nothing the second time. `unit` is what an entry's number counts:
// "line" in a file, "argument" on a command line.
void ResolvePortMap(PortRecord* boards, const std::vector<MapEntry>& entries, const char* unit,
                    std::vector<MappedPort>* ports, std::vector<MapProblem>* problems);

}  // namespace velnara
