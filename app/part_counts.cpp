#include "app/part_counts.h"

#include <QLabel>

#include "app/main_form.h"
#include "app/site_frame.h"

namespace {
// A label shows a number, alone ("12") or after a caption ("Pass:12").
std::uint32_t NumberIn(const QLabel* label) {
  const QString text = label->text();
  return text.mid(text.lastIndexOf(':') + 1).trimmed().toUInt();
}

std::string Text(const PassFail& counts) {
  return std::to_string(counts.Pass) + "/" + std::to_string(counts.Fail);
}
}  // namespace

PassFail ShownPartCounts::SiteSum() const {
  PassFail sum;
  for (const PassFail& site : Sites) {
    sum.Pass += site.Pass;
    sum.Fail += site.Fail;
  }
  return sum;
}

ShownPartCounts PartCountsShownIn(const TMainForm& window) {
  ShownPartCounts counts;
  counts.Statistics = {NumberIn(window.passCountLabel), NumberIn(window.failCountLabel)};
  for (int site = 0; site < kSiteCount; ++site) {
    const TSiteFrame* frame = window.SiteFrame(site);
    counts.Sites[static_cast<std::size_t>(site)] = {NumberIn(frame->passCountLabel),
                                                    NumberIn(frame->failCountLabel)};
  }
  return counts;
}

std::string PartCountLine(const ShownPartCounts& counts) {
  std::string line = "parts: statistics=" + Text(counts.Statistics);
  line += " panels=" + Text(counts.SiteSum());
  for (int site = 0; site < kSiteCount; ++site) {
    line += " site" + std::to_string(site + 1) + "=";
    line += Text(counts.Sites[static_cast<std::size_t>(site)]);
  }
  return line;
}
