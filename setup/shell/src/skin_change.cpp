#include "skin_change.h"

// Lives until the process ends; receivers leave it when they are deleted.
SkinChangeObserver& GetSkinChangeObserver() {
  static SkinChangeObserver observer;
  return observer;
}
