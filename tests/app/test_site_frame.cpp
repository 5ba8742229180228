// The site panel: what each state shows, the marquee, the selection, and the layout of the eight
// panels in the main window.
#include <gtest/gtest.h>

#include <QAbstractAnimation>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QTest>

#include "app/main_form.h"
#include "app/qt_site_host.h"
#include "app/site_frame.h"
#include "sim/sim_factory.h"
#include "site/site_panels.h"
#include "site/site_system.h"
#include "support/named_lock.h"
#include "support/system_para.h"
#include "support/system_paths.h"
#include "tests/support/site_config.h"

namespace {
QColor TextColour(const QLabel* label) {
  return label->palette().color(QPalette::Active, QPalette::WindowText);
}

struct Look {
  bool cbEnabled, cbChecked, captionEnabled;
  const char* field;
  bool fieldEnabled, countersEnabled;
  const char* word;
  bool barEnabled;
};

void ExpectLook(const TSiteFrame& f, const Look& look) {
  EXPECT_EQ(f.siteCheckBox->isEnabled(), look.cbEnabled);
  EXPECT_EQ(f.siteCheckBox->isChecked(), look.cbChecked);
  EXPECT_EQ(f.siteNumberLabel->isEnabled(), look.captionEnabled);
  EXPECT_EQ(f.resultFieldLabel->text(), look.field);
  EXPECT_EQ(f.resultFieldLabel->isEnabled(), look.fieldEnabled);
  EXPECT_EQ(f.passCountLabel->isEnabled(), look.countersEnabled);
  EXPECT_EQ(f.failCountLabel->isEnabled(), look.countersEnabled);
  EXPECT_EQ(f.stateLabel->text(), look.word);
  EXPECT_EQ(f.progressBar->isEnabled(), look.barEnabled);
}

class SiteFrameTest : public ::testing::Test {
 protected:
  SiteFrameTest() {
    frame.SaveBarStyle();
    frame.SetStatus(siNone);
  }
  TSiteFrame frame;
};
}  // namespace

TEST_F(SiteFrameTest, ControlsCarryTheirNamesAndDesignLook) {
  EXPECT_EQ(frame.size(), QSize(188, 187));
  for (const char* name :
       {"Panel1", "CB", "LB_CB", "LB_PFStatus", "LB_Pass", "LB_Fail", "LB_Status", "PBar"})
    EXPECT_NE(frame.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
  EXPECT_EQ(frame.resultFieldLabel->font().pixelSize(), 51);
  EXPECT_TRUE(frame.resultFieldLabel->font().underline());
  EXPECT_EQ(frame.stateLabel->font().pixelSize(), 29);
  frame.SetID(3);
  frame.SetPassCount(12);
  frame.SetFailCount(4);
  EXPECT_EQ(frame.siteNumberLabel->text(), "Site #3");
  EXPECT_EQ(frame.passCountLabel->text(), "Pass:12");
  EXPECT_EQ(frame.failCountLabel->text(), "Fail:4");
}

TEST_F(SiteFrameTest, EveryStateShowsItsRow) {
  ExpectLook(frame, {false, false, false, "----", false, false, "NONE", false});
  frame.SetStatus(siReady);
  ExpectLook(frame, {true, true, true, "----", false, true, "READY", true});
  EXPECT_EQ(TextColour(frame.stateLabel), QColor(255, 0, 255));
  EXPECT_EQ(frame.progressBar->value(), 0);

  frame.SetStatus(siWorking);
  ExpectLook(frame, {false, true, false, "----", false, true, "WORKING", false});
  EXPECT_EQ(TextColour(frame.stateLabel), QColor(255, 128, 64));
  EXPECT_FALSE(frame.resultFieldLabel->autoFillBackground());

  frame.SetStatus(siPass);
  ExpectLook(frame, {true, true, true, "PASS", true, true, "", true});
  EXPECT_EQ(frame.resultFieldLabel->palette().color(QPalette::Window), QColor(0, 128, 0));
  EXPECT_EQ(TextColour(frame.resultFieldLabel), QColor(255, 255, 255));
  EXPECT_EQ(frame.progressBar->value(), frame.progressBar->maximum());

  frame.SetStatus(siTake);  // the result stays readable while the part is taken out
  ExpectLook(frame, {false, true, false, "PASS", true, true, "Remove IC", false});
  EXPECT_EQ(TextColour(frame.stateLabel), QColor(0, 0, 0));

  frame.SetStatus(siPut);
  ExpectLook(frame, {false, true, false, "----", true, true, "Insert IC", false});
  EXPECT_EQ(TextColour(frame.stateLabel), QColor(0, 0, 255));

  frame.SetStatus(siFail);
  ExpectLook(frame, {true, true, true, "FAIL", true, true, "", true});
  EXPECT_EQ(frame.resultFieldLabel->palette().color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_EQ(TextColour(frame.stateLabel), QColor(255, 0, 0));
  EXPECT_EQ(frame.progressBar->value(), 0);

  frame.SetStatus(siPushKey);
  ExpectLook(frame, {false, true, false, "FAIL", true, true, "Push Key", true});
  EXPECT_EQ(TextColour(frame.stateLabel), QColor(0, 255, 255));
}

TEST_F(SiteFrameTest, PushKeyLeavesAnIdleFieldGrey) {
  frame.SetStatus(siWorking);
  frame.SetStatus(siPushKey);
  EXPECT_EQ(frame.resultFieldLabel->text(), "----");
  EXPECT_FALSE(frame.resultFieldLabel->isEnabled());
}

TEST_F(SiteFrameTest, MarqueeStartsOnceAndPassEndsItFull) {
  frame.SetStatus(siReady);
  frame.SetStatus(siWorking);
  frame.SetStatus(siWorking);
  EXPECT_TRUE(frame.MarqueeRunning());
  EXPECT_EQ(frame.MarqueeStarts(), 1);
  EXPECT_EQ(frame.progressBar->maximum(), 0);  // busy indicator
  frame.SetStatus(siPass);
  EXPECT_FALSE(frame.MarqueeRunning());
  EXPECT_EQ(frame.progressBar->maximum(), 100);
  EXPECT_EQ(frame.progressBar->value(), 100);
  frame.SetStatus(siWorking);
  EXPECT_EQ(frame.MarqueeStarts(), 2);
}

// Paints the bar as the window would (the style starts or stops its animations while painting)
// and tells whether an animation of the bar is running.
bool BarAnimates(TSiteFrame& frame) {
  frame.progressBar->grab();
  for (const QAbstractAnimation* a : frame.progressBar->findChildren<QAbstractAnimation*>()) {
    if (a->state() == QAbstractAnimation::Running) return true;
  }
  return false;
}

// An idle panel must cost nothing: whatever state follows a run, the busy animation is gone.
TEST_F(SiteFrameTest, OnlyAWorkingPanelAnimates) {
  frame.show();
  EXPECT_FALSE(BarAnimates(frame)) << "NONE";
  for (const std::uint8_t after : {siReady, siPass, siFail, siNone, siTake, siPut, siPushKey}) {
    frame.SetStatus(siWorking);
    EXPECT_TRUE(BarAnimates(frame)) << "WORKING before state " << int{after};
    frame.SetStatus(after);
    EXPECT_FALSE(BarAnimates(frame)) << "state " << int{after};
    EXPECT_FALSE(frame.MarqueeRunning()) << "state " << int{after};
  }
}

TEST_F(SiteFrameTest, ValueAboveSevenChangesNothing) {
  frame.SetStatus(siReady);
  frame.SetStatus(9);
  ExpectLook(frame, {true, true, true, "----", false, true, "READY", true});
}

TEST_F(SiteFrameTest, TheCheckBoxDrawsAndChangesTheModelsSelection) {
  QtSiteHost host;
  NamedLocks locks;
  SitePanels panels(locks.Get(LockName::Statistics), host);
  host.SetFrame(0, &frame);
  frame.Bind(&panels, 0);
  panels.SetStatus(0, siReady);
  host.Drain();
  EXPECT_TRUE(frame.siteCheckBox->isChecked());
  frame.siteCheckBox->click();  // the user takes the site out
  EXPECT_FALSE(panels.Checked(0));
  frame.siteCheckBox->click();
  EXPECT_TRUE(panels.Checked(0));
  panels.SetStatus(0, siNone);
  host.Drain();
  EXPECT_FALSE(frame.siteCheckBox->isChecked());
  EXPECT_FALSE(panels.Checked(0));
}

TEST_F(SiteFrameTest, BigStatusShowsTheResultWithoutChangingTheState) {
  frame.SetStatus(siPut);
  frame.SetBigStatus(siPass);
  EXPECT_EQ(frame.resultFieldLabel->text(), "PASS");
  EXPECT_TRUE(frame.resultFieldLabel->isEnabled());
  EXPECT_EQ(frame.progressBar->value(), 100);
  frame.SetBigStatus(siFail);
  EXPECT_EQ(frame.resultFieldLabel->text(), "FAIL");
  EXPECT_EQ(frame.progressBar->value(), 0);
  frame.SetBigStatus(0);
  EXPECT_EQ(frame.resultFieldLabel->text(), "----");
  EXPECT_FALSE(frame.resultFieldLabel->isEnabled());
  EXPECT_FALSE(frame.resultFieldLabel->autoFillBackground());
}

TEST(SitePanelLayout, SiteOneBottomLeftSiteEightTopRight) {
  sim::SimRig rig = sim::makeSimRig(sim::RigOptions{});
  SiteSystem system(*rig.bus, StandardSiteConfig());
  SystemPaths paths;
  paths.BaseDir = "/nonexistent-zv-base/";
  system.SetPaths(paths);
  TMainForm form(system);
  auto* group = form.findChild<QGroupBox*>(QStringLiteral("GroupBox3"));
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->size(), QSize(777, 408));
  EXPECT_EQ(group->title(), " Site Status ");
  const int lefts[] = {5, 198, 391, 584};
  for (int i = 0; i < 8; ++i) {
    auto* panel = group->findChild<TSiteFrame*>(QStringLiteral("Site%1").arg(i + 1));
    ASSERT_NE(panel, nullptr) << i;
    EXPECT_EQ(panel->pos(), QPoint(lefts[i % 4], i < 4 ? 211 : 18)) << i;
    EXPECT_EQ(panel->stateLabel->text(), "NONE");
    EXPECT_EQ(panel->siteNumberLabel->text(), QStringLiteral("Site #%1").arg(i + 1));
  }
}
