#include "app/options_form_widgets.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

#include "site/site_status.h"

TRadioGroup::TRadioGroup(const QString& name, const QString& caption, const QStringList& items,
                         QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
  setObjectName(name);
  auto* layout = new QVBoxLayout(this);
  group_->setExclusive(true);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    button->setObjectName(name + QStringLiteral("_Item") + QString::number(i));
    group_->addButton(button, i);
    layout->addWidget(button);
    buttons_.push_back(button);
  }
  layout->addStretch(1);
  connect(group_, &QButtonGroup::idClicked, this, &TRadioGroup::Clicked);
}

int TRadioGroup::ItemIndex() const {
  return group_->checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
  if (index >= 0 && index < Count()) {
    buttons_[static_cast<std::size_t>(index)]->setChecked(true);
    return;
  }
  // An exclusive group keeps one button on; lift that rule to show "none".
  group_->setExclusive(false);
  for (QRadioButton* button : buttons_) button->setChecked(false);
  group_->setExclusive(true);
}

QRadioButton* TRadioGroup::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return buttons_[static_cast<std::size_t>(index)];
}

TSiteCheckList::TSiteCheckList(const QString& name, QWidget* parent) : QListWidget(parent) {
  setObjectName(name);
  for (int site = 0; site < kSiteCount; ++site) {
    auto* item = new QListWidgetItem(QStringLiteral("Site #") + QString::number(site + 1), this);
    item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    item->setCheckState(Qt::Unchecked);
  }
}

bool TSiteCheckList::ItemChecked(int site) const {
  const QListWidgetItem* it = item(site);
  return it != nullptr && it->checkState() == Qt::Checked;
}

bool TSiteCheckList::ItemEnabled(int site) const {
  const QListWidgetItem* it = item(site);
  return it != nullptr && (it->flags() & Qt::ItemIsEnabled);
}

void TSiteCheckList::SetSitePresent(int site, bool present) {
  QListWidgetItem* it = item(site);
  if (it == nullptr) return;
  it->setCheckState(present ? Qt::Checked : Qt::Unchecked);
  Qt::ItemFlags flags = it->flags();
  it->setFlags(present ? (flags | Qt::ItemIsEnabled) : (flags & ~Qt::ItemIsEnabled));
}

SiteList TSiteCheckList::Items() const {
  SiteList items;
  for (int site = 0; site < kSiteCount; ++site)
    items[SiteSlot(site)] = {ItemEnabled(site), ItemChecked(site)};
  return items;
}

void TSiteCheckList::SetItems(const SiteList& items) {
  for (int site = 0; site < kSiteCount; ++site) {
    QListWidgetItem* it = item(site);
    if (it == nullptr) continue;
    const SiteListItem& wanted = items[SiteSlot(site)];
    it->setCheckState(wanted.Ticked ? Qt::Checked : Qt::Unchecked);
    const Qt::ItemFlags flags = it->flags();
    it->setFlags(wanted.Enabled ? (flags | Qt::ItemIsEnabled) : (flags & ~Qt::ItemIsEnabled));
  }
}

int TSiteCheckList::SelectedSiteOrFirst() {
  if (currentRow() < 0) setCurrentRow(0);
  return currentRow();
}
