#include "data/DataSource.h"

#include <algorithm>

#include "data/DataSet.h"

namespace tavrik {

TDataLink::~TDataLink() { SetDataSource(nullptr); }

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == source_) return;
  TDataSet* before = DataSet();
  if (source_) std::erase(source_->links_, this);
  source_ = source;
  if (source_) source_->links_.push_back(this);
  if (before) before->UpdateBufferCount();
  if (DataSet()) DataSet()->UpdateBufferCount();
  ActiveChanged();
}

void TDataLink::SetBufferCount(int count) {
  buffer_count_ = std::max(count, 1);
  if (DataSet()) DataSet()->UpdateBufferCount();
}

TDataSet* TDataLink::DataSet() const { return source_ ? source_->DataSet() : nullptr; }

bool TDataLink::Active() const { return source_ && source_->Enabled() && DataSet() && DataSet()->Active(); }

TDataSource::~TDataSource() {
  for (TDataLink* link : std::vector<TDataLink*>(links_)) link->SetDataSource(nullptr);
  SetDataSet(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataset) {
  if (dataset == dataset_) return;
  if (dataset_) dataset_->DetachDataSource(this);
  dataset_ = dataset;
  if (dataset_) dataset_->AttachDataSource(this);
  NotifyActiveChanged();
}

void TDataSource::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  NotifyActiveChanged();
}

void TDataSource::Notify(TDataEvent event, TField* field) {
  if (!enabled_) return;
  for (TDataLink* link : std::vector<TDataLink*>(links_)) link->DataEvent(event, field);
  if (OnDataChange && (event == TDataEvent::deRecordChange || event == TDataEvent::deDataSetChange ||
                       event == TDataEvent::deDataSetScroll || event == TDataEvent::deFieldChange))
    OnDataChange(*this, field);
}

void TDataSource::NotifyActiveChanged() {
  for (TDataLink* link : std::vector<TDataLink*>(links_)) link->ActiveChanged();
}

}  // namespace tavrik
