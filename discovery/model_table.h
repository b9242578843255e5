// The card models: which PCI device identifier is which model, and under
// which enumerator letter its port driver keeps the ports.
#pragma once

#include <cstddef>

namespace velnara {

struct BoardModel {
  const char* deviceId;  // "DEV_8010": the 8 characters after "VEN_1F5A&"
  const char* name;      // the board item's text
  char enumeratorLetter;
};

// The 22 models, in table order; the index is the model index.
const BoardModel* BoardModels(std::size_t* count);

// The first model whose device identifier equals the 8 characters at
// `deviceId` (case-sensitive); null when none does.
const BoardModel* FindBoardModel(const char* deviceId);

}  // namespace velnara
