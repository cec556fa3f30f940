// TDataSource joins a dataset to the things that show or follow its records: data links, such as
// a grid's (several buffers) or a detail table's link to its master. A link is told of every
// change of the dataset's state and records, unless the dataset's controls are disabled.
//
// Ownership: neither owns the other. A link detaches itself from its source, a source from its
// dataset, when destroyed; a dataset must outlive its sources.
#pragma once

#include <functional>
#include <vector>

#include "core/Component.h"
#include "data/DB.h"

namespace tavrik {

class TDataSet;
class TDataSource;
class TField;

class TDataLink {
 public:
  TDataLink() = default;
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return source_; }
  void SetDataSource(TDataSource* source);
  // The records this link wants buffered around the active one.
  int BufferCount() const { return buffer_count_; }
  void SetBufferCount(int count);
  TDataSet* DataSet() const;
  bool Active() const;

  // What the dataset tells its links (see TDataEvent).
  virtual void DataEvent(TDataEvent event, TField* field) {
    (void)event;
    (void)field;
  }
  virtual void ActiveChanged() {}

 private:
  TDataSource* source_ = nullptr;
  int buffer_count_ = 1;
};

class TDataSource : public TComponent {
 public:
  explicit TDataSource(TComponent* owner = nullptr) : TComponent(owner) {}
  ~TDataSource() override;

  TDataSet* DataSet() const { return dataset_; }
  void SetDataSet(TDataSet* dataset);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  const std::vector<TDataLink*>& Links() const { return links_; }

  // Called for record changes, like a link's DataEvent with deRecordChange / deDataSetChange /
  // deDataSetScroll.
  std::function<void(TDataSource&, TField*)> OnDataChange;

  // Passes a dataset event to every link (the dataset calls it).
  void Notify(TDataEvent event, TField* field);
  void NotifyActiveChanged();

 private:
  friend class TDataLink;
  TDataSet* dataset_ = nullptr;
  bool enabled_ = true;
  std::vector<TDataLink*> links_;
};

}  // namespace tavrik
