#pragma once
// The skin pictures and program icons, built into the program as Qt
// resources: ":/skin/main/Background.pic", ":/icons/vardocle-32.png", ...

namespace vardocle {

// Makes the resources reachable. Resources compiled into a static library
// are not registered by themselves; call this once before loading any.
void InitAssets();

} // namespace vardocle
