#include "platform/linux/DialogHost.h"

#include "platform/linux/DialogWidgets.h"
#include "platform/shared/DialogRules.h"

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
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
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

using namespace qtdialog;

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
    m_pQtTexts = std::make_unique<QTranslator>();
    if (m_pQtTexts->load(QLocale(), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(m_pQtTexts.get());
    }
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
