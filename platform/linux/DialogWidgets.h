// The widgets of a dialog built from its template on Linux, and the helpers that find and read them:
// shared by the dialog host (DialogHost.cpp) and the template's builder (DialogWidgets.cpp). Main thread.
#pragma once

#include "platform/linux/DialogHost.h"
#include "platform/shared/DialogRules.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QColor>
#include <QDialog>
#include <QFrame>
#include <QLineEdit>
#include <QString>
#include <QToolButton>
#include <QWidget>

#include <exception>
#include <map>
#include <string>

namespace qtdialog {

class HostDialog;

// A static frame: its inside is painted by the dialog's paint message, then its sunken edge on top.
class SwatchFrame : public QFrame {
public:
    SwatchFrame(HostDialog* pDialog, QWidget* pParent);
    bool m_bPainting = false;

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    HostDialog* m_pDialog;
};

// Two arrow buttons beside the buddy edit; each step reads the edit's number and writes the new position.
class UpDownControl : public QWidget {
public:
    UpDownControl(QWidget* pParent, QLineEdit* pBuddy, int32_t nLower, int32_t nUpper, int32_t nPos,
                  bool bSetBuddy)
        : QWidget(pParent), m_pBuddy(pBuddy), m_nLower(nLower), m_nUpper(nUpper), m_nPos(nPos),
          m_bSetBuddy(bSetBuddy) {
        auto* pUp = new QToolButton(this);
        auto* pDown = new QToolButton(this);
        pUp->setObjectName("up");
        pDown->setObjectName("down");
        for (QToolButton* pButton : {pUp, pDown}) {
            pButton->setArrowType(pButton == pUp ? Qt::UpArrow : Qt::DownArrow);
            pButton->setAutoRepeat(true);
            pButton->setFocusPolicy(Qt::NoFocus);
            QObject::connect(pButton, &QToolButton::clicked,
                             [this, pButton, pUp] { Step(pButton == pUp ? 1 : -1); });
        }
        m_pUp = pUp;
        m_pDown = pDown;
        Show();
    }

protected:
    void resizeEvent(QResizeEvent*) override {
        const int nHalf = height() / 2;
        m_pUp->setGeometry(0, 0, width(), nHalf);
        m_pDown->setGeometry(0, nHalf, width(), height() - nHalf);
    }

private:
    void Step(int32_t nDelta) {
        m_nPos = StepUpDown(m_pBuddy ? m_pBuddy->text().toStdString() : std::string(), m_nPos, m_nLower,
                            m_nUpper, nDelta);
        Show();
    }
    void Show() {
        if (m_bSetBuddy && m_pBuddy != nullptr) {
            m_pBuddy->setText(QString::number(m_nPos));
        }
    }

    QLineEdit* m_pBuddy;
    QToolButton* m_pUp = nullptr;
    QToolButton* m_pDown = nullptr;
    int32_t m_nLower, m_nUpper, m_nPos;
    bool m_bSetBuddy;
};

class HostDialog : public QDialog {
public:
    HostDialog(QtDialogHost* pHost, DialogProc pfnProc, QWidget* pParent)
        : QDialog(pParent), m_pHost(pHost), m_pfnProc(pfnProc) {}

    // Calls the dialog procedure; an exception ends the dialog and waits in m_exception for RunModal.
    intptr_t Send(uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
        if (m_exception) {
            return 0;
        }
        try {
            return m_pfnProc(m_pHost, static_cast<QWidget*>(this), uMsg, wParam, lParam);
        } catch (...) {
            m_exception = std::current_exception();
            m_pHost->End(static_cast<QWidget*>(this), -1);
            return 0;
        }
    }
    void Command(int32_t nId, QWidget* pControl) {
        Send(DLG_MSG_COMMAND, static_cast<uint32_t>(nId) & 0xFFFF, reinterpret_cast<intptr_t>(pControl));
    }
    // Escape and the close box ask the procedure, as the Cancel button does; it decides whether to end.
    void reject() override { Command(DLG_ID_CANCEL, nullptr); }
    void accept() override { Command(DLG_ID_OK, nullptr); }

    QtDialogHost* m_pHost;
    DialogProc m_pfnProc;
    intptr_t m_lUserData = 0;
    bool m_bEnded = false;
    bool m_bRunning = false;
    intptr_t m_nResult = 0;
    std::exception_ptr m_exception;
    std::map<int32_t, QWidget*> m_items;
    std::map<QAbstractButton*, QButtonGroup*> m_groups;
};

// The dialog of a dialog window, or null.
HostDialog* DialogOf(DialogWindow hDlg);
// The item nId of a dialog, or null.
QWidget* ItemOf(DialogWindow hDlg, int32_t nId);
// The text an item shows (a label's, a button's, an edit's).
QString ItemText(QWidget* pItem);
// Builds every item at its place, wires clicks to the procedure, groups the radio buttons, and orders
// the tab stops as the template does. False when an item's class is unknown.
bool BuildDialog(HostDialog* pDialog, const DialogTemplate& dialog);
// A Windows COLORREF (0x00BBGGRR) and a QColor, both ways.
QColor ColorOfRef(uint32_t dwColorRef);
uint32_t RefOfColor(const QColor& color);

} // namespace qtdialog
