#include "discovery/model_table.h"

#include <cstring>
#include <iterator>

namespace velnara {
namespace {

constexpr BoardModel kModels[] = {
    {"DEV_8010", "Tarvex 880-8 RJ11 (First 4 ports)", 'A'},
    {"DEV_8011", "Tarvex 880-8 RJ11 (Other ports)", 'A'},
    {"DEV_8012", "Tarvex 880-8 Octacable (First 4 ports)", 'A'},
    {"DEV_8013", "Tarvex 880-8 Octacable (Other ports)", 'A'},
    {"DEV_8014", "Tarvex 880-4 RJ45", 'A'},
    {"DEV_8015", "Tarvex 880-4 Quadcable", 'A'},
    {"DEV_8016", "Tarvex 880-16 (First 4 ports)", 'A'},
    {"DEV_8017", "Tarvex 880-16 (Other ports)", 'A'},
    {"DEV_8018", "Tarvex 880-8 (First 4 ports)", 'A'},
    {"DEV_8019", "Tarvex 880-8 (Other ports)", 'A'},
    {"DEV_8020", "Tarvex Universal 880-4", 'U'},
    {"DEV_8021", "Tarvex Universal 880-8", 'U'},
    {"DEV_8022", "Tarvex Universal 880-16", 'U'},
    {"DEV_8023", "Tarvex Universal 880-8 RJ11 SLS", 'S'},
    {"DEV_8024", "Tarvex Universal 880-8 OctaCable SLS", 'S'},
    {"DEV_8025", "Tarvex Universal 880-4 Quadcable SLS", 'S'},
    {"DEV_8026", "Tarvex Universal 880-4 RJ45 SLS", 'S'},
    {"DEV_8027", "Tarvex Universal 880-4 Mini SLS", 'S'},
    {"DEV_8028", "Tarvex Universal 880-8 RJ11", 'U'},
    {"DEV_8029", "Tarvex Universal 880-8 OctaCable", 'U'},
    {"DEV_802A", "Tarvex Universal 880-4 RJ45", 'U'},
    {"DEV_802B", "Tarvex Universal 880-4 QuadCable", 'U'},
};

}  // namespace

const BoardModel* BoardModels(std::size_t* count) {
  *count = std::size(kModels);
  return kModels;
}

const BoardModel* FindBoardModel(const char* deviceId) {
  for (const BoardModel& model : kModels) {
    if (std::strncmp(deviceId, model.deviceId, 8) == 0) return &model;
  }
  return nullptr;
}

}  // namespace velnara
