#pragma once
// System-wide hotkeys: a receiver registers key combinations with the desktop
// and reports their presses on the user-interface thread.
#include <cstdint>
#include <functional>
#include <memory>

namespace vardocle {

// Modifier flags of a registration, as hotkey values are split into.
inline constexpr std::uint16_t MOD_ALT = 0x0001;
inline constexpr std::uint16_t MOD_CONTROL = 0x0002;
inline constexpr std::uint16_t MOD_SHIFT = 0x0004;
inline constexpr std::uint16_t MOD_WIN = 0x0008;

// One press of a registered hotkey: its identifier and what was registered.
struct THotKeyMessage {
    std::uint16_t Id = 0;
    std::uint16_t Modifiers = 0; // MOD_… flags
    std::uint16_t Key = 0;       // virtual-key code
};

class IHotKeyReceiver {
public:
    using THandler = std::function<void(const THotKeyMessage&)>;

    virtual ~IHotKeyReceiver() = default;
    // Takes the key combination for this receiver under the identifier.
    // False when the desktop refuses it (another program holds it, the key
    // does not exist on this keyboard, or the identifier or key is already
    // registered here); nothing is held then.
    virtual bool RegisterHotKey(std::uint16_t id, std::uint16_t modifiers, std::uint16_t key) = 0;
    // Releases the registration; false when the identifier was not registered
    // or the desktop reported a failure.
    virtual bool UnregisterHotKey(std::uint16_t id) = 0;
    // Called for every press of a registered hotkey, on the UI thread.
    virtual void SetHandler(THandler handler) = 0;
    // False when there is no desktop to take keys from at all: a refusal
    // then says nothing about other programs.
    virtual bool TakesKeys() const { return true; }
};

// The receiver of the running desktop: X11 key grabs when the application runs
// on an X server, otherwise one that refuses every registration (there is no
// desktop to take keys from, e.g. on Qt's offscreen platform).
std::unique_ptr<IHotKeyReceiver> CreateHotKeyReceiver();

} // namespace vardocle
