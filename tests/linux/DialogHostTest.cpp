#include "platform/linux/DialogHost.h"
#include "config/DialogTemplates.h"
#include "config/SConfigDialog.h"
#include "platform/Language.h"
#include "platform/linux/SettingsStore.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// One host (and so one QApplication) for the whole run, with a private configuration folder so that Qt
// writes nothing into the user's.
class QtEnvironment : public testing::Environment {
public:
    void SetUp() override {
        std::string folder = (fs::temp_directory_path() / "lumivorra-qt-XXXXXX").string();
        ASSERT_NE(::mkdtemp(folder.data()), nullptr);
        s_root = folder;
        ::setenv("XDG_CONFIG_HOME", (s_root / "xdg").c_str(), 1);
        s_pHost = new QtDialogHost;
    }
    void TearDown() override {
        delete s_pHost;
        fs::remove_all(s_root);
    }
    static inline QtDialogHost* s_pHost = nullptr;
    static inline fs::path s_root;
};
const testing::Environment* const g_pEnvironment = testing::AddGlobalTestEnvironment(new QtEnvironment);

template <class T>
T* Find(QWidget* pDialog, int nId) {
    T* pWidget = pDialog->findChild<T*>(QString::number(nId));
    EXPECT_NE(pWidget, nullptr) << nId;
    return pWidget;
}

// Runs the next modal window (a picker) through fn once it is open.
template <class T>
void WhenOpen(std::function<void(T*)> fn) {
    QTimer::singleShot(0, [fn] {
        auto* pWindow = qobject_cast<T*>(QApplication::activeModalWidget());
        ASSERT_NE(pWindow, nullptr);
        fn(pWindow);
    });
}

// The texts of a window's push buttons, one after another.
QString ButtonTexts(QWidget* pWindow) {
    QString texts;
    for (QPushButton* pButton : pWindow->findChildren<QPushButton*>()) {
        texts += pButton->text() + "|";
    }
    return texts;
}

std::string ItemName(QWidget* pWidget) {
    if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget)) {
        return pButton->text().toStdString();
    }
    if (auto* pLabel = qobject_cast<QLabel*>(pWidget)) {
        return pLabel->text().toStdString();
    }
    return pWidget->objectName().toStdString();
}

// Every control inside the dialog, every text inside its control.
void ExpectEveryTextFits(QDialog* pDialog) {
    for (QWidget* pWidget : pDialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(pDialog->rect().contains(pWidget->geometry())) << pWidget->objectName().toStdString();
        QString text;
        int nRoom = pWidget->width();
        if (auto* pLabel = qobject_cast<QLabel*>(pWidget)) {
            text = pLabel->text();
        } else if (auto* pGroup = qobject_cast<QGroupBox*>(pWidget)) {
            text = pGroup->title();
            nRoom -= 16;
        } else if (qobject_cast<QPushButton*>(pWidget)) {
            text = qobject_cast<QPushButton*>(pWidget)->text();
            nRoom -= 4;
        } else if (qobject_cast<QRadioButton*>(pWidget) || qobject_cast<QCheckBox*>(pWidget)) {
            // The host widens a box to its text: then it must still meet no other control and stay
            // inside its frame.
            const QString name = qobject_cast<QAbstractButton*>(pWidget)->text();
            EXPECT_LE(pWidget->sizeHint().width(), pWidget->width()) << name.toStdString();
            for (QWidget* pOther : pDialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (auto* pFrame = qobject_cast<QGroupBox*>(pOther)) {
                    if (pFrame->geometry().contains(pWidget->geometry().topLeft())) {
                        EXPECT_TRUE(pFrame->geometry().contains(pWidget->geometry())) << name.toStdString();
                    }
                } else if (pOther != pWidget && pOther->isVisible()) {
                    EXPECT_FALSE(pOther->geometry().intersects(pWidget->geometry()))
                        << name.toStdString() << " meets " << ItemName(pOther);
                }
            }
            continue;
        } else {
            continue;
        }
        text.remove('&');
        EXPECT_LE(pWidget->fontMetrics().horizontalAdvance(text), nRoom) << text.toStdString();
        EXPECT_LE(pWidget->fontMetrics().height(), pWidget->height()) << text.toStdString();
    }
}

class QtConfigDialog : public testing::Test {
protected:
    void SetUp() override {
        m_home = QtEnvironment::s_root / testing::UnitTest::GetInstance()->current_test_info()->name();
    }

    // Opens the settings page on the Qt host and lets user act on it; a user that leaves it open has
    // it cancelled.
    int Run(const std::function<void(QDialog*)>& user) {
        QTimer::singleShot(0, [&user] {
            auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(pDialog, nullptr);
            user(pDialog);
            if (pDialog->isVisible()) {
                pDialog->reject();
            }
        });
        FileStore store(m_home.string());
        SConfigDialog dialog(*QtEnvironment::s_pHost, store);
        dialog.Create(nullptr, "DLG_CONFIG", nullptr);
        return dialog.DoModal();
    }
    Settings Stored() {
        FileStore store(m_home.string());
        Settings settings;
        ReadSettings(store, &settings, READER_DIALOG);
        return settings;
    }

    fs::path m_home;
};

QColor SwatchColor(QDialog* pDialog) {
    QWidget* pSwatch = Find<QWidget>(pDialog, IDC_SWATCH);
    return pSwatch->grab().toImage().pixelColor(pSwatch->width() / 2, pSwatch->height() / 2);
}

} // namespace

TEST_F(QtConfigDialog, ClicksAndTypingOnTheWidgetsAreStoredOnOK) {
    const fs::path map = QtEnvironment::s_root / "map.bmp";
    std::ofstream(map) << "BM";
    const int nResult = Run([&](QDialog* pDialog) {
        auto* pCount = Find<QLineEdit>(pDialog, IDC_NUMS);
        EXPECT_EQ(pCount->text(), "40");
        QTest::mouseClick(pDialog->findChild<QWidget*>("updown")->findChild<QToolButton*>("up"),
                          Qt::LeftButton);
        EXPECT_EQ(pCount->text(), "41");
        pCount->selectAll();
        QTest::keyClicks(pCount, "3a00"); // digits only, and no clamping to the arrows' range
        EXPECT_EQ(pCount->text(), "300");

        auto* pMusic = Find<QLineEdit>(pDialog, IDC_MUSIC_PATH);
        QTest::mouseClick(Find<QRadioButton>(pDialog, IDC_BGM_FILE), Qt::LeftButton);
        EXPECT_TRUE(pMusic->isEnabled());
        QTest::keyClicks(pMusic, "/music/a.mid");
        QTest::mouseClick(Find<QRadioButton>(pDialog, IDC_BGM_NONE), Qt::LeftButton);
        EXPECT_FALSE(pMusic->isEnabled());
        EXPECT_FALSE(Find<QRadioButton>(pDialog, IDC_BGM_FILE)->isChecked());

        QTest::mouseClick(Find<QCheckBox>(pDialog, IDC_SHOW_FPS), Qt::LeftButton);
        QTest::mouseClick(Find<QRadioButton>(pDialog, IDC_MAP_FILE), Qt::LeftButton);
        EXPECT_TRUE(Find<QRadioButton>(pDialog, IDC_BGM_NONE)->isChecked()); // the other set is untouched
        EXPECT_FALSE(Find<QRadioButton>(pDialog, IDC_MAP_DEFAULT)->isChecked());
        WhenOpen<QFileDialog>([&](QFileDialog* pPicker) {
            EXPECT_EQ(pPicker->windowTitle(), "ﾊｲﾄﾏｯﾌﾟ用ﾌｧｲﾙの選択");
            EXPECT_EQ(pPicker->nameFilters(), QStringList{"ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)"});
            // Qt's own texts of the picker in the same language.
            EXPECT_TRUE(ButtonTexts(pPicker).contains("キャンセル")) << ButtonTexts(pPicker).toStdString();
            pPicker->selectFile(QString::fromStdString(map.string()));
            static_cast<QDialog*>(pPicker)->accept();
        });
        QTest::mouseClick(Find<QPushButton>(pDialog, IDC_MAP_BROWSE), Qt::LeftButton);
        EXPECT_EQ(Find<QLineEdit>(pDialog, IDC_MAP_PATH)->text().toStdString(), map.string());

        WhenOpen<QColorDialog>([](QColorDialog* pPicker) {
            EXPECT_EQ(pPicker->currentColor(), QColor(0xFF, 0x64, 0x64));
            EXPECT_EQ(QColorDialog::customColor(0), QColor(0xFF, 0x64, 0x64));
            pPicker->setCurrentColor(QColor(0, 0, 0xFF));
            static_cast<QDialog*>(pPicker)->accept();
        });
        QTest::mouseClick(Find<QPushButton>(pDialog, IDC_PICK_COLOR), Qt::LeftButton);
        EXPECT_EQ(SwatchColor(pDialog), QColor(0, 0, 0xFF));

        QTest::keyClick(Find<QSlider>(pDialog, IDC_BUMP), Qt::Key_Right);
        QTest::mouseClick(Find<QPushButton>(pDialog, DLG_ID_OK), Qt::LeftButton);
    });
    EXPECT_EQ(nResult, 1);
    const Settings s = Stored();
    EXPECT_EQ(s.Nums, 300u);
    EXPECT_EQ(s.Color, 0x0000FFu);
    EXPECT_EQ(s.ShowFPS, 1u);
    EXPECT_EQ(s.HeightMapMode, 0u);
    EXPECT_EQ(std::string(s.HeightMapFile), map.string());
    EXPECT_EQ(s.BumpFactor, 6u);
    EXPECT_EQ(s.BGMMode, 2u);
    EXPECT_STREQ(s.MusicFile, "/music/a.mid");
}

TEST_F(QtConfigDialog, OpensLikeTheTemplateWithJapaneseTextThatFits) {
    const int nResult = Run([](QDialog* pDialog) {
        EXPECT_EQ(pDialog->windowTitle(), "Lumivorra 設定");
        // fontconfig names the face in the locale's language.
        EXPECT_TRUE(QFontInfo(pDialog->font()).family() == "IPAPGothic" ||
                    QFontInfo(pDialog->font()).family() == "IPA Pゴシック")
            << QFontInfo(pDialog->font()).family().toStdString();
        EXPECT_EQ(SwatchColor(pDialog), QColor(0xFF, 0x64, 0x64));
        EXPECT_TRUE(Find<QRadioButton>(pDialog, IDC_MAP_DEFAULT)->isChecked());
        EXPECT_FALSE(Find<QLineEdit>(pDialog, IDC_MAP_PATH)->isEnabled());
        EXPECT_EQ(Find<QSlider>(pDialog, IDC_BUMP)->value(), 5);
        EXPECT_EQ(Find<QSlider>(pDialog, IDC_BUMP)->maximum(), 8);
        EXPECT_EQ(pDialog->focusWidget(), Find<QWidget>(pDialog, DLG_ID_OK));

        ExpectEveryTextFits(pDialog);

        const QImage picture = pDialog->grab().toImage();
        EXPECT_EQ(picture.size(), pDialog->size() * pDialog->devicePixelRatio());
        EXPECT_TRUE(picture.save(LV_DIALOG_PNG));
        QTest::keyClick(pDialog, Qt::Key_Escape);
        EXPECT_FALSE(pDialog->isVisible());
    });
    EXPECT_EQ(nResult, 2);
    EXPECT_FALSE(fs::exists(m_home));
}

// Run with LC_ALL=en_US.UTF-8 (its own ctest entry): the page as an English-speaking user sees it.
TEST_F(QtConfigDialog, InEnglishEveryTextIsEnglishAndFits) {
    ASSERT_STREQ(PlatformLanguage(), "en");
    const int nResult = Run([](QDialog* pDialog) {
        EXPECT_EQ(pDialog->windowTitle(), "Lumivorra Settings");
        // Exactly the template's texts, and nothing but ASCII in them.
        const DialogTemplate* pTemplate = FindDialogTemplate("DLG_CONFIG");
        ASSERT_NE(pTemplate, nullptr);
        for (int32_t i = 0; i < pTemplate->nItems; ++i) {
            const DialogItemTemplate& item = pTemplate->pItems[i];
            for (const char* p = item.pszText; *p != '\0'; ++p) {
                EXPECT_EQ(static_cast<unsigned char>(*p) & 0x80, 0) << item.pszText;
            }
        }
        EXPECT_EQ(Find<QRadioButton>(pDialog, IDC_BGM_DEFAULT)->text(), "&Built-in music");
        EXPECT_EQ(Find<QCheckBox>(pDialog, IDC_SHOW_FPS)->text(), "Show frame &rate");
        std::vector<std::string> labels;
        for (QLabel* pLabel : pDialog->findChildren<QLabel*>()) {
            labels.push_back(pLabel->text().toStdString());
        }
        EXPECT_NE(std::find(labels.begin(), labels.end(), "&Count:"), labels.end());
        ExpectEveryTextFits(pDialog);

        // The pickers speak English too.
        WhenOpen<QFileDialog>([](QFileDialog* pPicker) {
            EXPECT_EQ(pPicker->windowTitle(), "Choose the Music File");
            EXPECT_EQ(pPicker->nameFilters(), QStringList{"MIDI Files (*.mid)"});
            EXPECT_TRUE(ButtonTexts(pPicker).contains("Cancel")) << ButtonTexts(pPicker).toStdString();
            pPicker->reject();
        });
        QTest::mouseClick(Find<QRadioButton>(pDialog, IDC_BGM_FILE), Qt::LeftButton);
        QTest::mouseClick(Find<QPushButton>(pDialog, IDC_MUSIC_BROWSE), Qt::LeftButton);

        const QImage picture = pDialog->grab().toImage();
        EXPECT_TRUE(picture.save(LV_DIALOG_PNG_EN));
        QTest::keyClick(pDialog, Qt::Key_Escape);
    });
    EXPECT_EQ(nResult, 2);
}

TEST_F(QtConfigDialog, AStoredShowFpsAboveOneOpensCheckedAndOkStoresOne) {
    // The scene counts any value but 0 as on; the box must show it so, and OK must not turn it off.
    Settings settings = DefaultSettings();
    settings.ShowFPS = 2;
    FileStore store(m_home.string());
    WriteSettings(store, settings);
    const int nResult = Run([](QDialog* pDialog) {
        EXPECT_TRUE(Find<QCheckBox>(pDialog, IDC_SHOW_FPS)->isChecked());
        QTest::mouseClick(Find<QPushButton>(pDialog, DLG_ID_OK), Qt::LeftButton);
    });
    EXPECT_EQ(nResult, 1);
    EXPECT_EQ(Stored().ShowFPS, 1u);
}

TEST_F(QtConfigDialog, TabReachesTheCheckedRadioOfEachSetAndTheArrowsMoveWithinIt) {
    const int nResult = Run([](QDialog* pDialog) {
        pDialog->activateWindow();
        QApplication::setActiveWindow(pDialog);
        const auto press = [pDialog](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QTest::keyClick(pDialog->focusWidget(), key, modifiers);
            return pDialog->focusWidget();
        };
        const auto item = [pDialog](int nId) { return Find<QWidget>(pDialog, nId); };
        ASSERT_EQ(pDialog->focusWidget(), item(DLG_ID_OK));
        // The tab stops in template order; of each radio set only its checked button, the built-in song
        // and the built-in map; the music and map path controls are disabled.
        for (int nId : std::initializer_list<int>{DLG_ID_CANCEL, IDC_NUMS, IDC_PICK_COLOR, IDC_SHOW_FPS,
                                                  IDC_BGM_DEFAULT, IDC_BUMP, IDC_MAP_DEFAULT, DLG_ID_OK}) {
            EXPECT_EQ(press(Qt::Key_Tab), item(nId)) << nId;
        }
        EXPECT_EQ(press(Qt::Key_Backtab, Qt::ShiftModifier), item(IDC_MAP_DEFAULT));
        EXPECT_EQ(press(Qt::Key_Backtab, Qt::ShiftModifier), item(IDC_BUMP));
        EXPECT_EQ(press(Qt::Key_Backtab, Qt::ShiftModifier), item(IDC_BGM_DEFAULT));

        // Down and right go to the next button of the set, up and left to the previous one, round the
        // set, checking each as a click does (which enables or disables the path controls).
        auto* pMusic = Find<QLineEdit>(pDialog, IDC_MUSIC_PATH);
        EXPECT_EQ(press(Qt::Key_Down), item(IDC_BGM_NONE));
        EXPECT_TRUE(Find<QRadioButton>(pDialog, IDC_BGM_NONE)->isChecked());
        EXPECT_FALSE(Find<QRadioButton>(pDialog, IDC_BGM_DEFAULT)->isChecked());
        EXPECT_EQ(press(Qt::Key_Right), item(IDC_BGM_FILE));
        EXPECT_TRUE(pMusic->isEnabled());
        EXPECT_EQ(press(Qt::Key_Up), item(IDC_BGM_NONE));
        EXPECT_FALSE(pMusic->isEnabled());
        EXPECT_EQ(press(Qt::Key_Left), item(IDC_BGM_DEFAULT));
        EXPECT_TRUE(Find<QRadioButton>(pDialog, IDC_MAP_DEFAULT)->isChecked()); // the other set stays

        // The tab stop moved with the check; in the map set an arrow enables the map's path controls.
        EXPECT_EQ(press(Qt::Key_Up), item(IDC_BGM_FILE));
        EXPECT_EQ(press(Qt::Key_Tab), item(IDC_MUSIC_PATH));
        EXPECT_EQ(press(Qt::Key_Tab), item(IDC_MUSIC_BROWSE));
        EXPECT_EQ(press(Qt::Key_Tab), item(IDC_BUMP));
        EXPECT_EQ(press(Qt::Key_Tab), item(IDC_MAP_DEFAULT));
        EXPECT_EQ(press(Qt::Key_Down), item(IDC_MAP_FILE));
        EXPECT_EQ(press(Qt::Key_Tab), item(IDC_MAP_PATH));
        EXPECT_EQ(press(Qt::Key_Tab), item(IDC_MAP_BROWSE));
        EXPECT_EQ(press(Qt::Key_Tab), item(DLG_ID_OK));
        QTest::keyClick(pDialog->focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(nResult, 1);
    EXPECT_EQ(Stored().BGMMode, 0u);
    EXPECT_EQ(Stored().HeightMapMode, 0u);
}
