#include "assets/Assets.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE names a function at global scope, so it cannot be used
// inside a namespace.
static void InitAssetsResource() {
    Q_INIT_RESOURCE(assets);
}

namespace vardocle {

void InitAssets() {
    InitAssetsResource();
}

} // namespace vardocle
