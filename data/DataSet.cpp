// TDataSet: opening and closing, fields, states, events and data links. Navigation is in
// DataSetNav.cpp, editing in DataSetEdit.cpp.
#include "data/DataSet.h"

#include <algorithm>

#include "core/StrUtils.h"
#include "data/DataSource.h"

namespace tavrik {

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() {
  // The descendant closes itself while its own parts still exist; this only drops what is left.
  for (TDataSource* source : std::vector<TDataSource*>(sources_)) source->SetDataSet(nullptr);
}

// ---- opening ----

void TDataSet::SetActive(bool value) {
  if (value == Active()) return;
  if (value) {
    Fire(BeforeOpen);
    try {
      OpenCursor();
    } catch (...) {
      CloseCursor();
      SetState(TDataSetState::dsInactive);
      throw;
    }
    SetState(TDataSetState::dsBrowse);
    bof_ = true;
    eof_ = false;
    GetNextRecords();
    eof_ = record_count_ == 0;
    NotifyLinks(TDataEvent::deDataSetChange);
    for (TDataSource* s : std::vector<TDataSource*>(sources_)) s->NotifyActiveChanged();
    Fire(AfterOpen);
  } else {
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) Cancel();
    Fire(BeforeClose);
    SetState(TDataSetState::dsInactive);
    CloseCursor();
    for (TDataSource* s : std::vector<TDataSource*>(sources_)) s->NotifyActiveChanged();
    Fire(AfterClose);
  }
}

void TDataSet::OpenCursor() {
  state_ = TDataSetState::dsOpening;
  InternalOpen();
  int count = 1;
  for (TDataSource* s : sources_)
    for (TDataLink* l : s->Links()) count = std::max(count, l->BufferCount());
  SetBufListSize(count);
  ClearBuffers();
}

void TDataSet::CloseCursor() {
  SetBufListSize(0);
  ClearBuffers();
  if (IsCursorOpen() || state_ == TDataSetState::dsOpening) InternalClose();
  modified_ = false;
}

void TDataSet::UpdateFieldDefs() {
  if (field_defs_.Updated) return;
  InternalInitFieldDefs();
  field_defs_.Updated = true;
}

void TDataSet::SetState(TDataSetState state) {
  if (state == state_) return;
  state_ = state;
  modified_ = false;
  NotifyLinks(TDataEvent::deUpdateState);
}

void TDataSet::CheckActive() const {
  if (!Active()) throw EDatabaseError("Cannot perform this operation on a closed dataset");
}

void TDataSet::InternalHandleException(const std::exception&) { throw; }

// ---- fields ----

TField& TDataSet::AddField(std::string name, TFieldType type, int size, TFieldKind kind) {
  if (Active()) throw EDatabaseError("Cannot perform this operation on an open dataset");
  if (FindField(name)) throw EDatabaseError("Duplicate field name '" + name + "'");
  fields_.push_back(std::make_unique<TField>(*this, std::move(name), type, size, kind));
  return *fields_.back();
}

TField* TDataSet::FindField(std::string_view name) const {
  for (const auto& f : fields_)
    if (SameText(f->FieldName(), name)) return f.get();
  return nullptr;
}

TField& TDataSet::FieldByName(std::string_view name) const {
  if (TField* f = FindField(name)) return *f;
  throw EDatabaseError("Field '" + std::string(name) + "' not found");
}

std::vector<TField*> TDataSet::GetFieldList(std::string_view names) const {
  std::vector<TField*> list;
  size_t start = 0;
  while (start <= names.size()) {
    const size_t end = std::min(names.find(';', start), names.size());
    const std::string name = Trim(names.substr(start, end - start));
    if (!name.empty()) list.push_back(&FieldByName(name));
    start = end + 1;
  }
  return list;
}

void TDataSet::CreateFields() {
  for (const TFieldDef& def : field_defs_) {
    if (def.DataType == TFieldType::ftUnknown || FindField(def.Name)) continue;
    const bool sized = def.DataType == TFieldType::ftString || def.DataType == TFieldType::ftFixedChar ||
                       def.DataType == TFieldType::ftBytes;
    fields_.push_back(
        std::make_unique<TField>(*this, def.Name, def.DataType, sized ? def.Size : 0, TFieldKind::fkData));
  }
  default_fields_ = true;
}

void TDataSet::DestroyFields() {
  if (default_fields_) fields_.clear();
  default_fields_ = false;
}

void TDataSet::BindFields(bool binding) {
  calc_fields_size_ = 0;
  for (auto& f : fields_) {
    f->SetFieldNo(0);
    if (!binding) continue;
    if (f->Calculated()) {
      f->SetOffset(calc_fields_size_);
      calc_fields_size_ += f->DataSize() + 1;
      continue;
    }
    const TFieldDef* def = field_defs_.Find(f->FieldName());
    if (!def) throw EDatabaseError("Field '" + f->FieldName() + "' not found");
    f->SetFieldNo(def->FieldNo);
  }
  NotifyLinks(TDataEvent::deLayoutChange);
}

bool TDataSet::HasCalcFields() const {
  return std::any_of(fields_.begin(), fields_.end(), [](const auto& f) { return f->Calculated(); });
}

void TDataSet::GetCalcFields(TRecordBuffer buffer) {
  if (!HasCalcFields() || !AutoCalcFields) return;
  const TDataSetState saved = state_;
  state_ = TDataSetState::dsCalcFields;
  calc_buffer_ = buffer;
  try {
    Fire(OnCalcFields);
  } catch (...) {
    state_ = saved;
    calc_buffer_ = nullptr;
    throw;
  }
  state_ = saved;
  calc_buffer_ = nullptr;
}

bool TDataSet::FilterAccepts(TRecordBuffer buffer) {
  if (!OnFilterRecord) return true;
  const TDataSetState saved = state_;
  state_ = TDataSetState::dsFilter;
  filter_buffer_ = buffer;
  bool accept = true;
  try {
    OnFilterRecord(*this, accept);
  } catch (const std::exception&) {
    accept = true;  // a failing handler must not hide records
  }
  state_ = saved;
  filter_buffer_ = nullptr;
  return accept;
}

// ---- buffers ----

void TDataSet::SetBufListSize(int count) {
  const int wanted = count > 0 ? count + 1 : 0;
  if (int(buffers_.size()) == wanted) {
    buffer_count_ = count;
    return;
  }
  // Keep the active record's place, so a growing or shrinking ring can be refilled around it.
  TBookmark active;
  const bool refill = state_ == TDataSetState::dsBrowse && record_count_ > 0 && count > 0 &&
                      GetBookmarkFlag(ActiveBuffer()) == TBookmarkFlag::bfCurrent;
  if (refill) active = GetBookmarkData(ActiveBuffer());
  for (TRecordBuffer& b : buffers_) FreeRecordBuffer(b);
  buffers_.clear();
  for (int i = 0; i < wanted; ++i) buffers_.push_back(AllocRecordBuffer());
  buffer_count_ = count;
  ClearBuffers();
  if (refill) {
    InitRecord(buffers_[0]);
    SetBookmarkData(buffers_[0], active);
    SetBookmarkFlag(buffers_[0], TBookmarkFlag::bfCurrent);
    ActivateBuffers();
    CursorPosChanged();
    Resync(0);
  }
}

void TDataSet::UpdateBufferCount() {
  int count = 1;
  for (TDataSource* s : sources_)
    for (TDataLink* l : s->Links()) count = std::max(count, l->BufferCount());
  if (IsCursorOpen() && count != buffer_count_) SetBufListSize(count);
}

void TDataSet::ClearBuffers() {
  record_count_ = 0;
  active_record_ = 0;
  current_record_ = -1;
  bof_ = true;
  eof_ = true;
}

void TDataSet::ActivateBuffers() {
  record_count_ = 1;
  active_record_ = 0;
  current_record_ = 0;
  bof_ = false;
  eof_ = false;
}

TRecordBuffer TDataSet::ActiveBuffer() const {
  return buffers_.empty() ? nullptr : buffers_[size_t(active_record_)];
}

TRecordBuffer TDataSet::StateBuffer() const {
  switch (state_) {
    case TDataSetState::dsCalcFields: return calc_buffer_;
    case TDataSetState::dsFilter: return filter_buffer_;
    case TDataSetState::dsInactive: case TDataSetState::dsOpening: return nullptr;
    default: return ActiveBuffer();
  }
}

void TDataSet::InitRecord(TRecordBuffer buffer) {
  InternalInitRecord(buffer);
  SetBookmarkFlag(buffer, TBookmarkFlag::bfInserted);
}

// ---- controls and links ----

void TDataSet::AttachDataSource(TDataSource* source) {
  sources_.push_back(source);
  UpdateBufferCount();
}

void TDataSet::DetachDataSource(TDataSource* source) {
  std::erase(sources_, source);
  UpdateBufferCount();
}

void TDataSet::EnableControls() {
  if (disable_count_ > 0 && --disable_count_ == 0) NotifyLinks(TDataEvent::deDataSetChange);
}

void TDataSet::DataEvent(TDataEvent event, TField* field) {
  if (event == TDataEvent::deFieldChange) {
    modified_ = true;
    if (field && field->OnChange) field->OnChange(*field);
  }
  NotifyLinks(event);
}

void TDataSet::NotifyLinks(TDataEvent event) {
  if (ControlsDisabled() && event != TDataEvent::deUpdateState) return;
  for (TDataSource* s : std::vector<TDataSource*>(sources_)) {
    try {
      s->Notify(event, nullptr);
    } catch (const std::exception& e) {
      InternalHandleException(e);
    }
  }
}

}  // namespace tavrik
