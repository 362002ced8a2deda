#pragma once

#include "ComPtr.h"
#include "ErrorInfo.h"
#include "Interfaces.h"

#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarv::utility {

class ShellMan;

// The compression windows, frmZippa and frmUnZippa: one layout, two sets of texts. The
// compression itself is the control ZLIBTOOLLib.ZlibTool (ZlibTool1), created when the window
// loads and driven by dispatch id.
class ZipWindow : public QDialog {
    Q_OBJECT
public:
    bool AutoAvvio = false;
    bool AutoChiusura = false;

    // Sets the source box; the source-change rule proposes a destination.
    void setSource(const QString& text);
    void cmdCmprimi_Click();
    void Command1_Click();
    bool busy() const { return m_busy; }

signals:
    // After each run of the start button: number S_OK when it succeeded, otherwise the error
    // or the refusal that ended it.
    void finishedWith(const tarv::com::ErrorInfo& outcome);

public:
    QFrame* Frame1;
    QLabel* Label1;
    QLineEdit* txtFileSource;
    QLabel* Label9;
    QLineEdit* lblFileDest;
    QLabel* Label3;
    QLabel* lblDimIn;
    QLabel* Label6;
    QLabel* lblDimOut;
    QPushButton* Command1;
    QLabel* lblStatus;
    QWidget* ZlibTool1; // the strip that holds the control's face
    QPushButton* cmdCmprimi;

    // "###,###,###,###" + " Bytes": digits grouped by the locale, nothing for 0.
    static QString sizeText(qint64 bytes);

protected:
    struct Texts {
        const char* caption;
        const char* label1;
        const char* label9;
        const char* button;
        const char* askSource;
        const char* askDestination;
        const char* done;
        const char* dialogTitle;
    };
    ZipWindow(bool expand, const Texts& texts, QWidget* parent);

public:
    ~ZipWindow() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Esc: like the close box, nothing while the control is working.
    void reject() override;

private:
    void txtFileSource_Change(const QString& text);
    void activate();
    // Steps 5 to 11 of the start button; false with `error` set on failure.
    bool runControl(com::ErrorInfo* error);
    void setWorking(bool working);
    // Reports how the start button's run ended; an unattended window that failed where no one
    // can see it closes, or its host would wait for ever.
    void finish(const com::ErrorInfo& outcome);
    // The library's own ShellMan answers whether a file is there and asks for a source.
    bool fileEsiste(const QString& path);
    ShellMan* shell();

    const bool m_expand;
    const Texts m_texts;
    com::ComPtr<com::IDispatch> m_control;
    com::ComPtr<ShellMan> m_shell;
    com::ErrorInfo m_createError;
    bool m_busy = false;
    bool m_activated = false;
};

class frmZippa final : public ZipWindow {
    Q_OBJECT
public:
    explicit frmZippa(QWidget* parent = nullptr);
};

class frmUnZippa final : public ZipWindow {
    Q_OBJECT
public:
    explicit frmUnZippa(QWidget* parent = nullptr);
};

} // namespace tarv::utility
