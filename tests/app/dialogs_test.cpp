#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app_test_support.h"
#include "stacking/stacking.h"

namespace glintvane {
namespace {

template <typename Control = QWidget>
Control* Find(QWidget* dialog, const char* id) {
  auto* control = dialog->findChild<Control*>(id);
  EXPECT_NE(control, nullptr) << id;
  return control;
}

void PressKey(QWidget* dialog, Qt::Key key) { QTest::keyClick(dialog->focusWidget(), key); }

// Both filters' enabled, frameCount and periodMinutes.
std::vector<int> FilterSettings() {
  return {gFilter1.enabled, gFilter1.frameCount, gFilter1.periodMinutes,
          gFilter2.enabled, gFilter2.frameCount, gFilter2.periodMinutes};
}

void Edit(QWidget* dialog, const std::vector<const char*>& texts) {
  const char* edits[] = {"1015", "1016", "1011", "1012"};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    Find<QLineEdit>(dialog, edits[i])->setText(texts[i]);
  }
}

class DialogsTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    OpenWindow(CameraNames(1));
    gFilter1.frameCount = 7;
    gFilter1.periodMinutes = 4;
  }

  // Opens the dialog from its menu item; `act` works on it while it is open.
  void RunDialog(int command, const std::function<void(QWidget*)>& act) {
    bool shown = false;
    const auto watch = WhenModalShown([&](QWidget* dialog) {
      shown = true;
      act(dialog);
    });
    ItemFor(window_.get(), command)->trigger();
    EXPECT_TRUE(shown);
  }
};

TEST_F(DialogsTest, FilterDialogShowsTheSettingsInTabOrder) {
  RunDialog(32805, [](QWidget* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Glintvane Filter Settings");
    EXPECT_TRUE(Find<QCheckBox>(dialog, "1014")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(dialog, "1017")->isChecked());
    QStringList texts;
    for (const char* id : {"1015", "1016", "1011", "1012"})
      texts << Find<QLineEdit>(dialog, id)->text();
    EXPECT_EQ(texts, QStringList({"7", "4", "3", "10"}));
    EXPECT_TRUE(Find<QPushButton>(dialog, "1013")->isDefault());
    EXPECT_EQ(
        dialog->findChildren<QLineEdit*>().size() + dialog->findChildren<QAbstractButton*>().size(),
        8);

    QStringList order = {dialog->focusWidget()->objectName()};
    for (int i = 0; i < 8; ++i) {
      PressKey(dialog, Qt::Key_Tab);
      order << dialog->focusWidget()->objectName();
    }
    EXPECT_EQ(order, QStringList(
                         {"1014", "1015", "1016", "1017", "1011", "1012", "1013", "1018", "1014"}));
    dialog->close();
  });
}

TEST_F(DialogsTest, FilterDialogOkReadsTheFirstFourCharactersLikePercentD) {
  RunDialog(32805, [](QWidget* dialog) {
    Find<QCheckBox>(dialog, "1014")->setChecked(false);
    Find<QCheckBox>(dialog, "1017")->setChecked(true);
    Edit(dialog, {"12abc", "abc", "-5", "123456"});
    Find<QPushButton>(dialog, "1013")->click();
  });
  EXPECT_EQ(FilterSettings(), std::vector<int>({0, 12, 4, 1, -5, 1234}));

  RunDialog(32805, [](QWidget* dialog) {
    Edit(dialog, {" +8", "", "-", "0"});
    PressKey(dialog, Qt::Key_Return);  // Enter in an edit is OK
  });
  EXPECT_EQ(FilterSettings(), std::vector<int>({0, 8, 4, 1, -5, 0}));
}

TEST_F(DialogsTest, FilterDialogClosedWithoutOkChangesNothing) {
  const std::function<void(QWidget*)> closers[] = {
      [](QWidget* dialog) { Find<QPushButton>(dialog, "1018")->click(); },
      [](QWidget* dialog) { PressKey(dialog, Qt::Key_Escape); },
      [](QWidget* dialog) { dialog->close(); },
      [](QWidget* dialog) {
        Find(dialog, "1018")->setFocus();
        PressKey(dialog, Qt::Key_Return);
      },
  };
  const std::vector<int> before = FilterSettings();
  for (const auto& close : closers) {
    RunDialog(32805, [&](QWidget* dialog) {
      Find<QCheckBox>(dialog, "1017")->setChecked(true);
      Edit(dialog, {"1", "2", "3", "4"});
      close(dialog);
    });
    EXPECT_EQ(FilterSettings(), before);
  }
}

TEST_F(DialogsTest, AboutShowsTheVersionAndClosesOnOkEnterEscapeAndCloseBox) {
  RunDialog(104, [this](QWidget* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "About");
    EXPECT_EQ(dialog->parentWidget(), window_.get());
    QStringList texts;
    QList<QSize> icons;
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
      if (label->pixmap().isNull()) {
        texts << label->text();
      } else {
        icons << label->pixmap().size();
      }
    }
    EXPECT_EQ(texts, QStringList{"Glintvane Version 0.04"});
    EXPECT_EQ(icons, QList<QSize>{QSize(48, 48)});
    auto* ok = dialog->findChild<QPushButton*>();
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    ok->click();
  });
  RunDialog(104, [](QWidget* dialog) { PressKey(dialog, Qt::Key_Return); });
  RunDialog(104, [](QWidget* dialog) { PressKey(dialog, Qt::Key_Escape); });
  RunDialog(104, [](QWidget* dialog) { dialog->close(); });
}

}  // namespace
}  // namespace glintvane
