#pragma once
// Small controls of the options window: a radio group with an item index, and the per-site
// check lists.
#include <QGroupBox>
#include <QListWidget>
#include <QStringList>
#include <vector>

#include "site/site_start_rule.h"

class QButtonGroup;
class QRadioButton;

// A group box of radio buttons, one per item, stacked top to bottom. The buttons are named
// <group name>_Item<i>. Only a person's click (or QAbstractButton::click) raises Clicked;
// SetItemIndex does not, so loading a setting never writes it back.
class TRadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  TRadioGroup(const QString& name, const QString& caption, const QStringList& items,
              QWidget* parent);
  int ItemIndex() const;         // -1 when none is selected
  void SetItemIndex(int index);  // an index outside the items selects none
  QRadioButton* Item(int index) const;
  int Count() const { return static_cast<int>(buttons_.size()); }

 signals:
  void Clicked(int index);

 private:
  QButtonGroup* group_;
  std::vector<QRadioButton*> buttons_;
};

// A check list of the eight sites: "Site #1" to "Site #8".
class TSiteCheckList : public QListWidget {
  Q_OBJECT
 public:
  TSiteCheckList(const QString& name, QWidget* parent);
  bool ItemChecked(int site) const;
  bool ItemEnabled(int site) const;
  // Ticked and enabled together (a site with a unit), or unticked and disabled.
  void SetSitePresent(int site, bool present);
  // The eight items as the site start rule takes them, and back.
  SiteList Items() const;
  void SetItems(const SiteList& items);
  // The row of the current item; item 0 is made current when there is none.
  int SelectedSiteOrFirst();
};
