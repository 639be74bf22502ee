#pragma once
// The "热键" rows of the settings window: one field per hotkey, where the
// user presses a new combination, and a button that turns the key off. A
// combination another program holds is refused with a note beneath.
#include "app/hotkeys/HotKeySettings.h"

#include <QPointer>
#include <QWidget>

#include <filesystem>

class QLabel;
class QPushButton;

namespace vardocle {

class THotKeyBindings;
class TKeyCaptureEdit;

class THotKeyPage : public QWidget {
    Q_OBJECT
public:
    explicit THotKeyPage(QWidget* parent = nullptr);

    // The keys the file holds; shown until bindings are attached.
    void Load(const std::filesystem::path& settingFile);
    // Changes go through `bindings` (the main window's) from now on.
    void Attach(THotKeyBindings* bindings);
    // The keys as chosen, to be kept in the settings file.
    THotKeySet Keys() const;

    // What the user asked for in `row` (0: no key); the note says how it went.
    void ChooseKey(std::size_t row, THotKey key);

    QLabel* LabHeading = nullptr;
    std::array<QLabel*, 6> LabNames{};
    std::array<TKeyCaptureEdit*, 6> EditKeys{};
    std::array<QPushButton*, 6> BtnOff{};
    QLabel* LabNote = nullptr;

private:
    void ShowKeys();
    void Note(const QString& text, bool refused);

    THotKeySet FKeys = DefaultHotKeys();
    QPointer<THotKeyBindings> FBindings;
};

} // namespace vardocle
