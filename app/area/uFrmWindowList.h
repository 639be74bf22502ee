#pragma once
// The open windows by title, for choosing the one to record without
// clicking on it (one hidden behind others, say).
#include "app/area/AreaWindows.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <vector>

class QListWidget;

namespace vardocle {

class TFrmWindowList : public QDialog {
public:
    explicit TFrmWindowList(std::vector<TListedWindow> windows, QWidget* parent = nullptr);
    // The window on the chosen line; none before one is chosen.
    std::optional<TListedWindow> Chosen() const;

    QListWidget* ListWindows = nullptr;

private:
    std::vector<TListedWindow> FWindows;
};

// Asks with the list `source` gives; none when cancelled or there are no windows.
std::optional<TListedWindow>
ChooseWindowFromList(const std::function<std::vector<TListedWindow>()>& source,
                     QWidget* parent = nullptr);

} // namespace vardocle
