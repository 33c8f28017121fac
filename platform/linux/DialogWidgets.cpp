#include "platform/linux/DialogWidgets.h"

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

namespace qtdialog {

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

namespace {

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

} // namespace

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

} // namespace qtdialog
