#include "platform/linux/QtDialogHost.h"

#include "platform/linux/DialogRules.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <cstring>
#include <exception>
#include <map>
#include <vector>

namespace {

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

// A radio button of one set. The arrow keys move to the next (down, right) or the previous (up, left)
// enabled button of its set in template order, wrapping round, and check it, as the Windows dialog
// manager does with automatic radio buttons.
class SetRadio : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void keyPressEvent(QKeyEvent* pEvent) override {
        const int nKey = pEvent->key();
        const bool bNext = nKey == Qt::Key_Down || nKey == Qt::Key_Right;
        const bool bPrevious = nKey == Qt::Key_Up || nKey == Qt::Key_Left;
        if (group() == nullptr || (!bNext && !bPrevious)) {
            QRadioButton::keyPressEvent(pEvent);
            return;
        }
        const QList<QAbstractButton*> set = group()->buttons();
        const qsizetype nCount = set.size();
        const qsizetype nAt = set.indexOf(this);
        for (qsizetype n = 1; n < nCount; ++n) {
            QAbstractButton* pButton = set[((nAt + (bNext ? n : -n)) % nCount + nCount) % nCount];
            if (pButton->isEnabled() && pButton->isVisible()) {
                pButton->setFocus(Qt::OtherFocusReason);
                if (!pButton->isChecked()) {
                    pButton->click();
                }
                break;
            }
        }
        pEvent->accept();
    }
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

SwatchFrame::SwatchFrame(HostDialog* pDialog, QWidget* pParent) : QFrame(pParent), m_pDialog(pDialog) {}

void SwatchFrame::paintEvent(QPaintEvent* pEvent) {
    m_bPainting = true;
    m_pDialog->Send(DLG_MSG_PAINT, 0, 0);
    m_bPainting = false;
    QFrame::paintEvent(pEvent);
}

HostDialog* DialogOf(DialogWindow hDlg) {
    return dynamic_cast<HostDialog*>(static_cast<QWidget*>(hDlg));
}

QWidget* ItemOf(DialogWindow hDlg, int32_t nId) {
    HostDialog* pDialog = DialogOf(hDlg);
    if (pDialog == nullptr) {
        return nullptr;
    }
    const auto it = pDialog->m_items.find(nId);
    return it == pDialog->m_items.end() ? nullptr : it->second;
}

QString ItemText(QWidget* pItem) {
    if (auto* pEdit = qobject_cast<QLineEdit*>(pItem)) {
        return pEdit->text();
    }
    if (auto* pButton = qobject_cast<QAbstractButton*>(pItem)) {
        return pButton->text();
    }
    if (auto* pLabel = qobject_cast<QLabel*>(pItem)) {
        return pLabel->text();
    }
    if (auto* pGroup = qobject_cast<QGroupBox*>(pItem)) {
        return pGroup->title();
    }
    return {};
}

// The dialog manager's base units: the average width of the Latin letters, and the font's height.
QSize BaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int nWidth = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return QSize((nWidth / 26 + 1) / 2, metrics.height());
}

int MulDiv(int nValue, int nMul, int nDiv) {
    return (nValue * nMul + nDiv / 2) / nDiv;
}

QRect DialogUnitsToPixels(const QSize& base, int x, int y, int cx, int cy) {
    return QRect(MulDiv(x, base.width(), 4), MulDiv(y, base.height(), 8), MulDiv(cx, base.width(), 4),
                 MulDiv(cy, base.height(), 8));
}

QFont TemplateFont(const DialogTemplate& dialog) {
    QFont font(QString::fromUtf8(dialog.pszFace));
    font.setPointSize(dialog.wPointSize);
    if (dialog.wWeight >= 600) {
        font.setBold(true);
    }
    font.setItalic(dialog.bItalic);
    return font;
}

// Makes the widget of one template item; null for a class no host knows.
QWidget* MakeItem(HostDialog* pDialog, const DialogItemTemplate& item) {
    const QString text = QString::fromUtf8(item.pszText ? item.pszText : "");
    switch (KindOf(item)) {
    case ITEM_PUSH_BUTTON: {
        auto* pButton = new QPushButton(text, pDialog);
        pButton->setDefault((item.dwStyle & DLG_BUTTON_TYPE_MASK) == DLG_BUTTON_DEFAULT);
        return pButton;
    }
    case ITEM_CHECK_BOX:
        return new QCheckBox(text, pDialog);
    case ITEM_RADIO_BUTTON: {
        auto* pRadio = new SetRadio(text, pDialog);
        pRadio->setAutoExclusive(false);
        return pRadio;
    }
    case ITEM_GROUP_BOX: {
        // The title sits on the frame's top line, as the dialog manager draws it.
        auto* pGroup = new QGroupBox(text, pDialog);
        pGroup->setStyleSheet(
            "QGroupBox { border: 1px solid palette(mid); border-radius: 0px; margin-top: 0.5em; }"
            "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0px 2px; }");
        return pGroup;
    }
    case ITEM_LABEL:
        return new QLabel(text, pDialog);
    case ITEM_FRAME: {
        auto* pFrame = new SwatchFrame(pDialog, pDialog);
        if ((item.dwExStyle & DLG_EXSTYLE_CLIENTEDGE) != 0) {
            pFrame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            pFrame->setLineWidth(2);
        } else {
            pFrame->setFrameStyle(QFrame::Box | QFrame::Plain);
        }
        return pFrame;
    }
    case ITEM_EDIT: {
        auto* pEdit = new QLineEdit(pDialog);
        pEdit->setText(text);
        if ((item.dwStyle & DLG_EDIT_NUMBER) != 0) {
            pEdit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), pEdit));
        }
        return pEdit;
    }
    case ITEM_TRACKBAR: {
        auto* pSlider = new QSlider(Qt::Horizontal, pDialog);
        pSlider->setTickPosition((item.dwStyle & DLG_TRACK_TOP) != 0 ? QSlider::TicksAbove
                                                                     : QSlider::TicksBelow);
        pSlider->setTickInterval(1);
        pSlider->setPageStep(1);
        return pSlider;
    }
    default:
        return nullptr;
    }
}

// Builds every item at its place, wires clicks to the procedure, groups the radio buttons, and orders
// the tab stops as the template does. False when an item's class is unknown.
bool BuildDialog(HostDialog* pDialog, const DialogTemplate& dialog) {
    pDialog->setWindowTitle(QString::fromUtf8(dialog.pszCaption ? dialog.pszCaption : ""));
    pDialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    pDialog->setFont(TemplateFont(dialog));
    const QSize base = BaseUnits(pDialog->font());
    pDialog->setFixedSize(DialogUnitsToPixels(base, 0, 0, dialog.cx, dialog.cy).size());

    std::vector<QWidget*> widgets;
    QWidget* pPreviousTab = nullptr;
    for (int32_t i = 0; i < dialog.nItems; ++i) {
        const DialogItemTemplate& item = dialog.pItems[i];
        QWidget* pWidget = MakeItem(pDialog, item);
        if (pWidget == nullptr) {
            return false;
        }
        widgets.push_back(pWidget);
        QRect place = DialogUnitsToPixels(base, item.x, item.y, item.cx, item.cy);
        // This style's check marks take a few pixels more than the template allowed for; the text keeps
        // its whole width.
        if (qobject_cast<QCheckBox*>(pWidget) != nullptr || qobject_cast<QRadioButton*>(pWidget) != nullptr) {
            place.setWidth(std::max(place.width(), pWidget->sizeHint().width()));
        }
        pWidget->setGeometry(place);
        pWidget->setObjectName(item.nId == -1 ? QString() : QString::number(item.nId));
        if (item.nId != -1) {
            pDialog->m_items[item.nId] = pWidget;
        }
        const bool bTabStop = (item.dwStyle & DLG_STYLE_TABSTOP) != 0;
        if (pWidget->focusPolicy() != Qt::NoFocus) {
            pWidget->setFocusPolicy(bTabStop ? Qt::StrongFocus : Qt::ClickFocus);
        }
        // Radio buttons take their place in the chain too; which of them Tab stops at follows the checks.
        if (bTabStop || qobject_cast<QRadioButton*>(pWidget) != nullptr) {
            if (pPreviousTab != nullptr) {
                QWidget::setTabOrder(pPreviousTab, pWidget);
            }
            pPreviousTab = pWidget;
        }
        if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget)) {
            const int32_t nId = item.nId;
            QObject::connect(pButton, &QAbstractButton::clicked,
                             [pDialog, nId, pButton] { pDialog->Command(nId, pButton); });
        }
    }
    for (int32_t i = 0; i < dialog.nItems; ++i) {
        auto* pRadio = qobject_cast<QRadioButton*>(widgets[static_cast<size_t>(i)]);
        if (pRadio != nullptr && pDialog->m_groups.count(pRadio) == 0) {
            auto* pGroup = new QButtonGroup(pDialog);
            for (int32_t nMember : RadioGroupOf(dialog, i)) {
                auto* pMember = qobject_cast<QRadioButton*>(widgets[static_cast<size_t>(nMember)]);
                pGroup->addButton(pMember);
                pDialog->m_groups[pMember] = pGroup;
            }
            // As on Windows, where checking an automatic radio button gives it the set's tab stop: Tab
            // reaches the checked button of each set, and a set with none checked is passed over.
            QObject::connect(pGroup, &QButtonGroup::buttonToggled, [pGroup] {
                for (QAbstractButton* pMember : pGroup->buttons()) {
                    pMember->setFocusPolicy(pMember->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
                }
            });
        }
        // A label's mnemonic moves the focus to the next tab stop after it.
        if (auto* pLabel = qobject_cast<QLabel*>(widgets[static_cast<size_t>(i)])) {
            for (int32_t j = i + 1; j < dialog.nItems; ++j) {
                if ((dialog.pItems[j].dwStyle & DLG_STYLE_TABSTOP) != 0) {
                    pLabel->setBuddy(widgets[static_cast<size_t>(j)]);
                    break;
                }
            }
        }
    }
    return true;
}

QColor ColorOfRef(uint32_t dwColorRef) {
    return QColor(static_cast<int>(dwColorRef & 0xFF), static_cast<int>((dwColorRef >> 8) & 0xFF),
                  static_cast<int>((dwColorRef >> 16) & 0xFF));
}

uint32_t RefOfColor(const QColor& color) {
    return static_cast<uint32_t>(color.red()) | static_cast<uint32_t>(color.green()) << 8 |
           static_cast<uint32_t>(color.blue()) << 16;
}

} // namespace

QtDialogHost::QtDialogHost() {
    if (QApplication::instance() == nullptr) {
        static int s_nArgc = 1;
        static char s_szName[] = "lumivorra";
        static char* s_apszArgv[] = {s_szName, nullptr};
        m_pApp = std::make_unique<QApplication>(s_nArgc, s_apszArgv);
    }
    // The template's Japanese faces are not installed here; fontconfig would pick a font without Japanese
    // glyphs and other metrics, so the IPA fonts of the same design stand in for them.
    QFont::insertSubstitution("ＭＳ Ｐゴシック", "IPAPGothic");
    QFont::insertSubstitution("ＭＳ ゴシック", "IPAGothic");
}

QtDialogHost::~QtDialogHost() = default;

QWidget* QtDialogHost::Widget(DialogWindow hWnd) {
    return static_cast<QWidget*>(hWnd);
}

intptr_t QtDialogHost::RunModal(ModuleHandle, const DialogTemplate* pTemplate, DialogWindow hParent,
                                DialogProc pfnProc, intptr_t lParam) {
    if (pTemplate == nullptr) {
        return -1;
    }
    HostDialog dialog(this, pfnProc, Widget(hParent));
    if (!BuildDialog(&dialog, *pTemplate)) {
        return -1;
    }
    if (dialog.Send(DLG_MSG_INITDIALOG, 0, lParam) != 0) {
        for (QWidget* pWidget = dialog.nextInFocusChain(); pWidget != &dialog;
             pWidget = pWidget->nextInFocusChain()) {
            if (pWidget->focusPolicy() == Qt::StrongFocus && pWidget->isEnabled()) {
                pWidget->setFocus();
                break;
            }
        }
    }
    if (!dialog.m_bEnded) {
        const QRect screen = dialog.screen()->availableGeometry();
        dialog.move(screen.center() - dialog.rect().center());
        dialog.m_bRunning = true;
        dialog.exec();
        dialog.m_bRunning = false;
    }
    if (dialog.m_exception) {
        std::rethrow_exception(dialog.m_exception);
    }
    return dialog.m_nResult;
}

void QtDialogHost::End(DialogWindow hDlg, intptr_t nResult) {
    HostDialog* pDialog = DialogOf(hDlg);
    if (pDialog == nullptr || pDialog->m_bEnded) {
        return;
    }
    pDialog->m_bEnded = true;
    pDialog->m_nResult = nResult;
    if (pDialog->m_bRunning) {
        pDialog->done(static_cast<int>(nResult));
    }
}

void QtDialogHost::SetUserData(DialogWindow hWnd, intptr_t lData) {
    if (HostDialog* pDialog = DialogOf(hWnd)) {
        pDialog->m_lUserData = lData;
    }
}

intptr_t QtDialogHost::GetUserData(DialogWindow hWnd) {
    HostDialog* pDialog = DialogOf(hWnd);
    return pDialog ? pDialog->m_lUserData : 0;
}

DialogWindow QtDialogHost::GetItem(DialogWindow hDlg, int32_t nId) {
    return ItemOf(hDlg, nId);
}

void QtDialogHost::CheckItem(DialogWindow hDlg, int32_t nId, uint32_t uCheck) {
    auto* pButton = qobject_cast<QAbstractButton*>(ItemOf(hDlg, nId));
    if (pButton == nullptr) {
        return;
    }
    // Only this button changes, as on Windows: the group's exclusivity is lifted for the moment.
    const auto it = DialogOf(hDlg)->m_groups.find(pButton);
    QButtonGroup* pGroup = it == DialogOf(hDlg)->m_groups.end() ? nullptr : it->second;
    if (pGroup != nullptr) {
        pGroup->setExclusive(false);
    }
    // Any value but unchecked shows checked, as CheckDlgButton shows it (a stored ShowFPS of 2 is on).
    pButton->setChecked(uCheck != DLG_UNCHECKED);
    if (pGroup != nullptr) {
        pGroup->setExclusive(true);
    }
}

uint32_t QtDialogHost::IsItemChecked(DialogWindow hDlg, int32_t nId) {
    auto* pButton = qobject_cast<QAbstractButton*>(ItemOf(hDlg, nId));
    return pButton != nullptr && pButton->isChecked() ? DLG_CHECKED : DLG_UNCHECKED;
}

void QtDialogHost::SetItemText(DialogWindow hDlg, int32_t nId, const char* pszText) {
    QWidget* pItem = ItemOf(hDlg, nId);
    const QString text = QString::fromUtf8(pszText);
    if (auto* pEdit = qobject_cast<QLineEdit*>(pItem)) {
        pEdit->setText(text);
    } else if (auto* pButton = qobject_cast<QAbstractButton*>(pItem)) {
        pButton->setText(text);
    } else if (auto* pLabel = qobject_cast<QLabel*>(pItem)) {
        pLabel->setText(text);
    }
}

uint32_t QtDialogHost::GetItemText(DialogWindow hDlg, int32_t nId, char* pszText, int32_t nMax) {
    return CopyItemText(ItemText(ItemOf(hDlg, nId)).toStdString(), pszText, nMax);
}

uint32_t QtDialogHost::GetItemUnsigned(DialogWindow hDlg, int32_t nId, bool* pbTranslated) {
    return ParseUnsignedText(ItemText(ItemOf(hDlg, nId)).toStdString(), pbTranslated);
}

void QtDialogHost::EnableItem(DialogWindow hDlg, int32_t nId, bool bEnable) {
    if (QWidget* pItem = ItemOf(hDlg, nId)) {
        pItem->setEnabled(bEnable);
    }
}

DialogWindow QtDialogHost::CreateUpDown(uint32_t dwStyle, int32_t x, int32_t y, int32_t cx, int32_t cy,
                                        DialogWindow hParent, int32_t nId, ModuleHandle, DialogWindow hBuddy,
                                        int32_t nUpper, int32_t nLower, int32_t nPos) {
    auto* pBuddy = qobject_cast<QLineEdit*>(Widget(hBuddy));
    auto* pUpDown =
        new UpDownControl(Widget(hParent), pBuddy, nLower, nUpper, ClampToRange(nPos, nLower, nUpper),
                          (dwStyle & DLG_UPDOWN_SETBUDDYINT) != 0);
    pUpDown->setObjectName(nId == -1 ? QString("updown") : QString::number(nId));
    if (pBuddy != nullptr && (dwStyle & DLG_UPDOWN_ALIGNRIGHT) != 0) {
        // Placed inside the buddy's right edge, which narrows to make room, at the width of a scroll bar.
        const int nWidth = pUpDown->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        const QRect buddy = pBuddy->geometry();
        pBuddy->setGeometry(buddy.adjusted(0, 0, -nWidth, 0));
        pUpDown->setGeometry(buddy.right() + 1 - nWidth, buddy.top(), nWidth, buddy.height());
    } else {
        pUpDown->setGeometry(x, y, cx, cy);
    }
    pUpDown->show();
    return pUpDown;
}

void QtDialogHost::SetTrackRange(DialogWindow hDlg, int32_t nId, bool, int32_t nMin, int32_t nMax) {
    if (auto* pSlider = qobject_cast<QSlider*>(ItemOf(hDlg, nId))) {
        pSlider->setRange(nMin, nMax);
    }
}

void QtDialogHost::SetTrackPos(DialogWindow hDlg, int32_t nId, bool, int32_t nPos) {
    if (auto* pSlider = qobject_cast<QSlider*>(ItemOf(hDlg, nId))) {
        pSlider->setValue(nPos);
    }
}

int32_t QtDialogHost::GetTrackPos(DialogWindow hDlg, int32_t nId) {
    auto* pSlider = qobject_cast<QSlider*>(ItemOf(hDlg, nId));
    return pSlider ? pSlider->value() : 0;
}

void QtDialogHost::Invalidate(DialogWindow hWnd, bool) {
    if (QWidget* pWidget = Widget(hWnd)) {
        pWidget->update();
        for (QWidget* pChild : pWidget->findChildren<QWidget*>()) {
            pChild->update();
        }
    }
}

void QtDialogHost::PaintSolid(DialogWindow hWnd, uint32_t dwColorRef) {
    // Painting is only possible inside the control's own paint event, which sent the paint message.
    auto* pFrame = dynamic_cast<SwatchFrame*>(Widget(hWnd));
    if (pFrame != nullptr && pFrame->m_bPainting) {
        QPainter painter(pFrame);
        painter.fillRect(pFrame->contentsRect(), ColorOfRef(dwColorRef));
    }
}

bool QtDialogHost::OpenFile(OpenFileRequest* pRequest) {
    QFileDialog picker(Widget(pRequest->hOwner),
                       QString::fromUtf8(pRequest->pszTitle ? pRequest->pszTitle : ""));
    picker.setOption(QFileDialog::DontUseNativeDialog);
    picker.setFileMode((pRequest->dwFlags & DLG_OPEN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile
                                                                         : QFileDialog::AnyFile);
    // Each pair of display text and pattern becomes one filter; the text already names the pattern.
    QStringList filters;
    for (const char* p = pRequest->pszFilter; p != nullptr && *p != '\0';) {
        const QString display = QString::fromUtf8(p);
        p += std::strlen(p) + 1;
        const QString pattern = QString::fromUtf8(p);
        p += std::strlen(p) + 1;
        filters << (display.contains("(" + pattern + ")") ? display : display + " (" + pattern + ")");
    }
    picker.setNameFilters(filters);
    if (pRequest->nFilterIndex >= 1 && static_cast<qsizetype>(pRequest->nFilterIndex) <= filters.size()) {
        picker.selectNameFilter(filters[static_cast<qsizetype>(pRequest->nFilterIndex) - 1]);
    }
    if (pRequest->pszDefExt != nullptr) {
        picker.setDefaultSuffix(QString::fromUtf8(pRequest->pszDefExt));
    }
    if (pRequest->pszInitialDir != nullptr) {
        picker.setDirectory(QString::fromUtf8(pRequest->pszInitialDir));
    }
    if (pRequest->pszFile != nullptr && pRequest->pszFile[0] != '\0') {
        picker.selectFile(QString::fromUtf8(pRequest->pszFile));
    }
    if (picker.exec() != QDialog::Accepted || picker.selectedFiles().isEmpty()) {
        return false;
    }
    const std::string path = picker.selectedFiles().first().toStdString();
    // A path that does not fit the caller's buffer fails the picker, as on Windows.
    if (pRequest->pszFile == nullptr || path.size() + 1 > pRequest->nMaxFile) {
        return false;
    }
    CopyItemText(path, pRequest->pszFile, static_cast<int32_t>(pRequest->nMaxFile));
    if (pRequest->pszFileTitle != nullptr) {
        CopyItemText(QFileInfo(QString::fromStdString(path)).fileName().toStdString(), pRequest->pszFileTitle,
                     static_cast<int32_t>(pRequest->nMaxFileTitle));
    }
    return true;
}

bool QtDialogHost::PickColor(ColorRequest* pRequest) {
    const QColor initial =
        (pRequest->dwFlags & DLG_COLOR_RGBINIT) != 0 ? ColorOfRef(pRequest->rgbResult) : Qt::black;
    QColorDialog picker(initial, Widget(pRequest->hOwner));
    picker.setOption(QColorDialog::DontUseNativeDialog);
    const int nSlots = QColorDialog::customCount() < 16 ? QColorDialog::customCount() : 16;
    if (pRequest->pCustColors != nullptr) {
        for (int i = 0; i < nSlots; ++i) {
            QColorDialog::setCustomColor(i, ColorOfRef(pRequest->pCustColors[i]));
        }
    }
    const bool bChosen = picker.exec() == QDialog::Accepted;
    // The custom slots are the user's palette: edits to them count even when the picker is cancelled.
    if (pRequest->pCustColors != nullptr) {
        for (int i = 0; i < nSlots; ++i) {
            const uint32_t dwOld = pRequest->pCustColors[i];
            const uint32_t dwNew = RefOfColor(QColorDialog::customColor(i));
            // An unused slot (any colour with its top byte set) stays as it was when nobody changed it.
            if (dwNew != (dwOld & 0xFFFFFF)) {
                pRequest->pCustColors[i] = dwNew;
            }
        }
    }
    if (bChosen) {
        pRequest->rgbResult = RefOfColor(picker.selectedColor());
    }
    return bChosen;
}
