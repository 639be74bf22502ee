#pragma once
// The notice that a newer version is published: its version, its notes and a
// button that opens the download page in the user's browser.
#include "update/UpdateDescription.h"
#include "update/UpdateExport.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vardocle {

class VARDOCLE_UPDATE_API TFrmUpdate : public QDialog {
    Q_OBJECT
public:
    TFrmUpdate(const TUpdateDescription& description, QWidget* parent);

    QLabel* LblVersion = nullptr;
    QPlainTextEdit* MemoNotes = nullptr;
    QPushButton* BtnDownload = nullptr;
    QPushButton* BtnLater = nullptr;

private:
    void BtnDownloadClick();

    QUrl FDownloadUrl;
};

} // namespace vardocle
