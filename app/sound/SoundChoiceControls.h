#pragma once
// Where the user chooses what a recording's sound is made of: a row in the
// settings window and a submenu of the tray menu, kept in step with each
// other and disabled together while a recording runs.
#include "engine/SoundChoice.h"

#include <QObject>

class QActionGroup;
class QComboBox;
class QLabel;
class QMenu;
class QWidget;

namespace vardocle {

class TSoundChoiceControls : public QObject {
public:
    // The row is a child of Window, for the window to place (Row).
    explicit TSoundChoiceControls(QWidget* Window);

    TSoundChoice Choice() const;
    void SetChoice(TSoundChoice Choice);
    void SetEnabled(bool Enabled);
    // The tray's submenu, owned by this; the caller adds it to its menu.
    QMenu* Menu() const { return FMenu; }

    QWidget* Row = nullptr; // the label and the list beside it
    QLabel* LabSound = nullptr;
    QComboBox* ComboSound = nullptr;

    // The row's height, for the window to grow by.
    static constexpr int kRowHeight = 28;

private:
    QMenu* FMenu = nullptr;
    QActionGroup* FGroup = nullptr;
};

} // namespace vardocle
