// TMarvekTable: finding records. Locate and Lookup seek on an order whose key is the search field
// or hand the engine a filter expression built from the values; IndexName chooses the order;
// Filter, the scope and a master table restrict the records the table shows. A search leaves the
// engine's Exact setting, order and filter as it found them.
#include <cstring>

#include "core/StrUtils.h"
#include "platform/DateText.h"
#include "platform/FormatSettings.h"
#include "platform/Paths.h"
#include "tables/MvoDSet.h"

namespace tavrik {

namespace {

constexpr const char* kClosedTable = "Cannot perform this operation on a closed table";

std::string Dtos(int32_t day_number) {
  const TDateParts d = DecodeDayNumber(day_number);
  char text[9];
  std::snprintf(text, sizeof text, "%04d%02d%02d", d.year, d.month, d.day);
  return text;
}

// A key value as a date: a date-time as it is; a text in the short date format, as
// "yyyy-mm-dd" or as "yyyymmdd". 0 when it is none of these.
int32_t DateOf(const TVariant& value) {
  if (value.IsClear()) return 0;
  if (value.Type() == TVarType::varDateTime) return DateTimeDay(value.AsDateTime());
  const std::string text = Trim(value.AsString());
  if (auto date = platform::TryStrToDate(text)) return DateTimeDay(*date);
  if (text.size() == 8 && text.find_first_not_of("0123456789") == std::string::npos)
    return EncodeDayNumber(std::stoi(text.substr(0, 4)), std::stoi(text.substr(4, 2)), std::stoi(text.substr(6, 2)));
  try {
    return DateTimeDay(TVariant(text).AsDateTime());
  } catch (const EVariantError&) {
    return 0;
  }
}

std::string NumberText(double value) { return FloatToText(value, platform::FormatSettings().DecimalSeparator); }

bool HasUpper(const std::string& key) { return UpperCase(key).find("UPPER(") != std::string::npos; }

}  // namespace

std::string QuoteXbaseText(std::string_view text) {
  static const char kDelimiters[][2] = {{'"', '"'}, {'\'', '\''}, {'[', ']'}};
  for (const auto& d : kDelimiters) {
    if (text.find(d[1]) != std::string_view::npos) continue;
    std::string literal(1, d[0]);
    literal.append(text).push_back(d[1]);
    return literal;
  }
  return "";
}

// ---- Locate ----

std::string TMarvekTable::SearchExpression(const std::vector<TField*>& fields, const std::vector<TVariant>& values,
                                           TLocateOptions options, bool& deliverable) {
  const bool several = fields.size() > 1;
  std::string expression;
  for (size_t i = 0; i < fields.size(); ++i) {
    const TField& f = *fields[i];
    const TVariant value = i < values.size() ? values[i] : TVariant::Null();
    if (i > 0) expression += " .and. ";
    std::string name = f.FieldName();
    switch (f.DataType()) {
      case TFieldType::ftString: {
        if (options & loCaseInsensitive) name = "UPPER(" + name + ")";
        std::string text = value.AsString();
        if (!(options & loPartialKey) && text.size() < size_t(f.Size())) text.append(size_t(f.Size()) - text.size(), ' ');
        const std::string literal = QuoteXbaseText(text);
        if (literal.empty()) deliverable = false;
        expression += name + "=" + literal;
        break;
      }
      case TFieldType::ftSmallint:
      case TFieldType::ftInteger:
        expression += name + "=" + std::to_string(value.AsInteger());
        break;
      case TFieldType::ftBoolean:
        expression += name + (value.AsBoolean() ? "= .T." : "= .F.");
        break;
      case TFieldType::ftFloat:
        expression += name + "=" + NumberText(value.AsFloat());
        break;
      case TFieldType::ftDate: {
        // A date value, or a text long enough to spell one, is compared whole; a shorter number
        // (a year, a year and month) with the start of the date.
        const std::string text = Trim(value.AsString());
        if (several || value.Type() == TVarType::varDateTime || text.size() >= 8) {
          const int32_t day = DateOf(value);
          if (day == 0) deliverable = false;
          expression += "DTOS(" + name + ") = \"" + Dtos(day) + "\"";
        } else {
          const std::string number = std::to_string(value.AsInteger());
          expression += "LEFT( DTOS(" + name + "), " + std::to_string(number.size()) + ") = \"" + number + "\"";
        }
        break;
      }
      default:
        if (!several) deliverable = false;  // an empty expression would match every record
        break;
    }
  }
  if (options & loCaseInsensitive) expression = AnsiUpperCase(expression);
  return expression;
}

bool TMarvekTable::SeekKey(const TField& field, const TVariant& value, int order, TLocateOptions options) {
  TMvEngine& e = Engine();
  std::string key;
  switch (field.DataType()) {
    case TFieldType::ftString:
      key = value.AsString();
      if (HasUpper(e.IndexKey())) key = AnsiUpperCase(key);
      break;
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger: key = std::to_string(value.AsInteger()); break;
    case TFieldType::ftBoolean: key = value.AsBoolean() ? ".T." : ".F."; break;
    case TFieldType::ftFloat: key = NumberText(value.AsFloat()); break;
    case TFieldType::ftDate: key = Dtos(DateOf(value)); break;
    default: key = value.AsString(); break;
  }
  const bool partial = options & loPartialKey;
  const int exact = e.SysProp(1002, 0);
  e.SysProp(1003, partial ? 0 : 1);
  bool found = e.Seek(key);
  if (!partial) found = e.Found();
  e.SysProp(1003, exact);
  e.SetOrder(order);
  filled_ = -1;
  CursorPosChanged();
  return found;
}

bool TMarvekTable::Locate(std::string_view key_fields, const std::vector<TVariant>& key_values,
                          TLocateOptions options) {
  if (!Active() || !WorkAreaOpen() || !cursor_open_) return false;
  const std::vector<TField*> fields = GetFieldList(UpperCase(key_fields));
  if (fields.empty()) return false;
  const bool ci = options & loCaseInsensitive;
  bool deliverable = true;
  const std::string expression = SearchExpression(fields, key_values, options, deliverable);
  // A value that cannot be written into an expression is searched for not at all.
  if (!deliverable) return false;

  if (!speed_mode_) BeforeScrollStep();
  Select();
  TMvEngine& e = Engine();
  const int remembered = RecNo();
  const int old_order = e.IndexOrd();
  const int orders = e.SysProp(3000, 0);
  bool found = false;
  if (fields.size() == 1 && orders >= 1) {
    const std::string written = Trim(key_fields);
    const std::string key = UpperCase(written);
    int chosen = old_order;
    auto try_orders = [&] {
      for (int i = 1; i <= orders; ++i) {
        e.SetOrder(i);
        const std::string field = e.IndexKeyField();
        if (ci ? field == key && HasUpper(e.IndexKey()) : field == written) {
          chosen = i;
          return true;
        }
      }
      return false;
    };
    bool taken = true;
    if (e.IndexKeyField() == key) {
      if (ci && !HasUpper(e.IndexKey())) taken = try_orders();
    } else {
      taken = try_orders();
    }
    if (!taken) {
      e.SetOrder(old_order);
      chosen = old_order;
    }
    if (e.IndexKeyField() == key) {
      const TVariant value = key_values.empty() ? TVariant::Null() : key_values[0];
      if (value.IsClear()) {
        if (chosen != old_order) e.SetOrder(old_order);
        return false;
      }
      found = SeekKey(*fields[0], value, old_order, options);
    }
  }
  if (!found && !expression.empty()) {
    const std::string filter = e.DBFilter();
    const std::string query = filter.empty() ? expression : "(" + expression + ") .and. (" + filter + ")";
    int count = record_count_;
    found = e.QueryRowCount(query, count) != 0;
    record_count_ = count;
    const int at = e.RecNo();
    e.QueryRowCount(filter, count);
    record_count_ = count;
    if (found) GoRecord(at);
    CursorPosChanged();
  }
  if (found) {
    if (!speed_mode_) {
      Select();
      SetTrailer(ActiveBuffer(), e.RecNo(), TBookmarkFlag::bfCurrent);
      filled_ = -1;
      Resync(rmExact | rmCenter);
      AfterScrollStep();
    }
  } else if (remembered > 0) {
    GoRecord(remembered);
  }
  return found;
}

// ---- Lookup ----

TVariant TMarvekTable::Lookup(std::string_view key_fields, const std::vector<TVariant>& key_values,
                              std::string_view result_field) {
  TVariant result = TVariant::Null();
  if (!Active() || !WorkAreaOpen() || key_values.empty() || key_values[0].IsClear()) return result;
  if (index_name_.empty() || key_values.size() > 1) {
    if (Locate(key_fields, key_values, 0)) result = FieldByName(result_field).Value();
    return result;
  }
  // One value on the active order: the engine seeks, the dataset stays where it is.
  const TField& key_field = FieldByName(Trim(key_fields));
  const TField& out = FieldByName(result_field);
  const TVariant& value = key_values[0];
  Select();
  TMvEngine& e = Engine();
  const std::string name = UpperCase(key_field.FieldName());
  const std::string type = e.FieldType(name);
  std::string key;
  switch (type.empty() ? ' ' : type[0]) {
    case 'N': {
      const std::string text = value.Type() == TVarType::varFloat ? NumberText(value.AsFloat()) : value.AsString();
      const size_t width = size_t(std::max(e.FieldWidth(name), 0));
      key = text.size() < width ? std::string(width - text.size(), ' ') + text : text;
      break;
    }
    case 'C': key = PadRight(value.AsString(), size_t(std::max(e.FieldWidth(name), 0))); break;
    case 'D': key = Dtos(DateOf(value)); break;
    case 'L': key.assign(1, value.AsInteger() == -1 ? 'T' : 'F'); break;
    default: key = value.AsString(); break;
  }
  e.Seek(key);
  if (e.Found()) {
    std::string record(size_t(record_size_), ' ');
    if (e.GetRecord(record)) {
      // The found record's values, calculated fields included, in the spare buffer; the record
      // being edited keeps its own image.
      std::swap(record, image_);
      DecodeRecord(TempBuffer());
      std::swap(record, image_);
      GetCalcFields(TempBuffer());
    }
    const TFieldInfo* info = out.FieldNo() >= 1 ? &infos_[size_t(out.FieldNo() - 1)] : nullptr;
    const std::string rname = UpperCase(out.FieldName());
    switch (info ? info->Type : ' ') {
      case 'N':
        if (info->Decimals > 0 || info->Width > 4) result = e.GetDouble(rname);
        else result = int(int16_t(e.GetInteger(rname)));
        break;
      case 'I': result = int(int16_t(e.GetInteger(rname))); break;
      case 'C': result = e.GetTrimString(rname); break;
      case 'D': {
        const std::string text = e.GetDateString(rname);
        if (!text.empty() && text[0] != ' ')
          if (auto date = platform::TryStrToDate(text)) result = TVariant::DateTime(*date);
        break;
      }
      case 'L': {
        const std::string text = e.GetTrimString(rname);
        if (!text.empty()) result = text[0] == 'T' || text[0] == 'Y';
        break;
      }
      case 'M': result = e.GetMemo(rname, 0); break;
      default: break;
    }
  }
  filled_ = -1;
  CursorPosChanged();
  return result;
}

// ---- orders ----

void TMarvekTable::SetIndexName(const std::string& name) {
  const bool ntx = table_type_ == TMarvekTableType::ttMXNTX;
  auto base = [](const std::string& n) {
    std::string b = n.substr(n.find_last_of("/\\") == std::string::npos ? 0 : n.find_last_of("/\\") + 1);
    return UpperCase(b.substr(0, b.rfind('.')));
  };
  if (ntx ? base(name) == base(index_name_) : name == index_name_) return;
  index_name_ = name;
  if (!WorkAreaOpen()) return;
  Select();
  if (Active()) CheckBrowseMode();
  TMvEngine& e = Engine();
  int order = 0;
  if (!name.empty()) {
    if (ntx) {
      for (size_t i = 0; i < extra_indexes_.size() && order == 0; ++i)
        if (SameText(extra_indexes_[i], name)) order = int(i) + 1;
      if (order == 0) {
        std::string path = name;
        if (path.find_first_of("/\\") == std::string::npos && !table_path_.empty())
          path = table_path_.substr(0, table_path_.find_last_of('/') + 1) + path;
        if (base(path) == UpperCase(path.substr(path.find_last_of("/\\") + 1))) path += ".NTX";
        if (access_method_ == TAccessMethod::amServer || platform::PathExists(path)) {
          order = e.IndexOpen(path);
          index_defs_.Updated = false;
        }
      }
    } else {
      order = e.TagArea(name);
    }
  }
  if (Active() && order == 0 && !name.empty()) Error("Invalid IndexName value : " + name);
  Select();
  e.SetOrder(order);
  order_ = order;
  count_needs_refresh_ = true;
  filled_ = -1;
  if (Active()) {
    CursorPosChanged();
    UpdateCursorPos();
    Resync(0);
  }
}

// ---- filters ----

void TMarvekTable::SetFilter(const std::string& text) {
  TDataSet::SetFilter(text);
  if (WorkAreaOpen() && cursor_open_) ApplyFilter(Filtered() && !Filter().empty() ? Filter() : std::string());
}

void TMarvekTable::SetFiltered(bool value) {
  TDataSet::SetFiltered(value);
  if (WorkAreaOpen() && cursor_open_) ApplyFilter(Filtered() && !Filter().empty() ? Filter() : std::string());
}

void TMarvekTable::ApplyFilter(const std::string& expression) {
  Select();
  TMvEngine& e = Engine();
  int count = record_count_;
  if (speed_mode_) {
    e.QueryRowCount(expression, count);
    record_count_ = count;
    return;
  }
  if (!expression.empty() && e.EvalTest(expression) != 3) Error("Invalid Query Expression\r\r" + expression);
  BeforeScrollStep();
  Select();
  e.QueryRowCount(expression, count);
  record_count_ = count;
  // The engine stands on the first record that passes; the dataset follows it there.
  TrailerFromEngine();
  count_needs_refresh_ = true;
  filled_ = -1;
  CursorPosChanged();
  Resync(0);
  AfterScrollStep();
}

// ---- scopes ----

void TMarvekTable::SetScopeBegin(const std::string& value) {
  scope_begin_ = value;
  if (scoped_) ApplyScope();
}

void TMarvekTable::SetScopeEnd(const std::string& value) {
  scope_end_ = value;
  if (scoped_) ApplyScope();
}

void TMarvekTable::SetScoped(bool value) {
  scoped_ = value;
  ApplyScope();
}

void TMarvekTable::ApplyScope() {
  if (!WorkAreaOpen()) Error(kClosedTable);
  CheckBrowseMode();
  Select();
  TMvEngine& e = Engine();
  const int remembered = RecNo();
  e.SetScope(scoped_ ? scope_begin_ : std::string(), scoped_ ? scope_end_ : std::string());
  if (!e.Eof()) {
    // Stay near the record the dataset was on when it is still inside the range.
    if (remembered > 0) GoRecord(remembered);
    e.Skip(1);
    if (e.Eof()) e.GoBottom();
    else e.Skip(-1);
  }
  TrailerFromEngine();
  count_needs_refresh_ = true;
  filled_ = -1;
  CursorPosChanged();
  Resync(0);
  scoped_ = !e.GetScope(0).empty() || !e.GetScope(1).empty();
}

// ---- master and detail ----

void TMarvekTable::SetMasterSource(TDataSource* source) { master_link_.SetDataSource(source); }

void TMarvekTable::SetMasterFields(std::string fields) {
  master_fields_ = std::move(fields);
  MasterChanged();
}

void TMarvekTable::TMasterLink::DataEvent(TDataEvent event, TField*) {
  if (event == TDataEvent::deDataSetChange || event == TDataEvent::deDataSetScroll ||
      event == TDataEvent::deRecordChange)
    table_.MasterChanged();
}

void TMarvekTable::TMasterLink::ActiveChanged() { table_.MasterChanged(); }

std::string TMarvekTable::MasterKey() {
  TDataSet* master = master_link_.DataSet();
  if (!master || !master->Active()) return "";
  std::string key;
  std::string detail_key;
  bool detail_key_read = false;
  for (TField* f : master->GetFieldList(master_fields_)) {
    if (f->DataType() == TFieldType::ftString) {
      key += PadRight(f->AsString(), size_t(f->Size()));
    } else if (f->DataType() == TFieldType::ftBoolean) {
      key += f->AsBoolean() ? "T" : "F";
    } else if (f->DataType() == TFieldType::ftDate) {
      key += f->IsNull() ? std::string(8, ' ') : Dtos(DateTimeDay(f->AsDateTime()));
    } else {
      if (!detail_key_read) {
        Select();
        detail_key = UpperCase(Engine().IndexKey());
        detail_key_read = true;
      }
      int width = 0;
      for (const TFieldInfo& info : infos_)
        if (SameText(info.Name, f->FieldName())) width = info.Width;
      const std::string text = f->IsNull() ? std::string() : f->AsString();
      const char fill = detail_key.find("STR(" + UpperCase(f->FieldName())) != std::string::npos ? ' ' : '0';
      key += text.size() < size_t(width) ? std::string(size_t(width) - text.size(), fill) + text : text;
    }
  }
  return key;
}

void TMarvekTable::MasterChanged() {
  if (!Active() || !WorkAreaOpen() || !cursor_open_ || !master_link_.DataSource()) return;
  Select();
  if (!master_link_.Active()) {
    if (last_master_key_.empty()) return;
    Engine().SetScope("", "");
    last_master_key_.clear();
    filled_ = -1;
    CursorPosChanged();
    Resync(0);
    return;
  }
  const std::string key = MasterKey();
  if (key == last_master_key_ && index_name_ == last_master_index_) return;
  if (index_name_.empty()) Error("This operation requires an active index order");
  Select();
  if (!Engine().SetScope(key, key)) Error("Scope Set failed");
  last_master_key_ = key;
  last_master_index_ = index_name_;
  First();
}

}  // namespace tavrik
