#pragma once
// Marks what the update library exports to the program.

#if defined(VARDOCLE_UPDATE_BUILDING)
#define VARDOCLE_UPDATE_API __attribute__((visibility("default")))
#else
#define VARDOCLE_UPDATE_API
#endif
