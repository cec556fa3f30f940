#include "tables/mvtable/MvTable.h"

#include <cstdio>
#include <memory>

#include "net/MvConnOptions.h"
#include "tables/MvoDSet.h"

namespace tavrik::mvtable {

namespace {

constexpr const char* kUsage =
    "usage: mvtable [-H host] [-p port] [-u user] [-w password] [-t ms] [--local DIR] [--order TAG]\n"
    "               [--filter EXPR] ALIAS TABLE COMMAND [ARGUMENTS]\n"
    "commands: dump | structure | locate FIELD VALUE | append FIELD=VALUE ...\n";

struct Options {
  TConnOptions connection;
  std::string local;
  bool is_local = false;
  std::string order;
  std::string filter;
  std::vector<std::string> rest;  // ALIAS TABLE COMMAND ARGUMENTS
};

Options Parse(const std::vector<std::string>& args) {
  Options o;
  o.rest = ParseToolOptions(args, o.connection,
                            {{"local", 0, true, [&](const std::string& v) { o.local = v, o.is_local = true; }},
                             {"order", 0, true, [&](const std::string& v) { o.order = v; }},
                             {"filter", 0, true, [&](const std::string& v) { o.filter = v; }}});
  if (o.rest.size() < 3) throw EToolUsage("ALIAS, TABLE and COMMAND are required");
  const std::string& command = o.rest[2];
  const size_t extra = o.rest.size() - 3;
  if ((command == "dump" || command == "structure") && extra != 0) throw EToolUsage(command + " takes no arguments");
  if (command == "locate" && extra != 2) throw EToolUsage("locate takes FIELD VALUE");
  if (command == "append") {
    if (extra == 0) throw EToolUsage("append takes FIELD=VALUE ...");
    for (size_t i = 3; i < o.rest.size(); ++i)
      if (o.rest[i].find('=') == std::string::npos || o.rest[i][0] == '=')
        throw EToolUsage("not FIELD=VALUE: " + o.rest[i]);
  }
  if (command != "dump" && command != "structure" && command != "locate" && command != "append")
    throw EToolUsage("unknown command " + command);
  return o;
}

std::vector<std::string> Header(TDataSet& t) {
  std::vector<std::string> names;
  for (int i = 0; i < t.FieldCount(); ++i) names.push_back(t.Fields(i).FieldName());
  return names;
}

std::vector<std::string> Row(TDataSet& t) {
  std::vector<std::string> cells;
  for (int i = 0; i < t.FieldCount(); ++i) cells.push_back(CellText(t.Fields(i)));
  return cells;
}

// The value to search for, by the field's type: logicals by their first letter, dates as
// yyyy-mm-dd, everything else as the text given.
TVariant SearchValue(const TField& field, const std::string& text) {
  if (field.DataType() == TFieldType::ftBoolean) {
    const char c = char(text.empty() ? 'F' : text[0] & ~0x20);
    return c == 'T' || c == 'Y';
  }
  if (field.DataType() == TFieldType::ftDate) return TVariant::DateTime(TVariant(text).AsDateTime());
  return text;
}

int Execute(const Options& o, std::ostream& out) {
  std::unique_ptr<TMarvekConnection> connection;
  TMarvekTable table;
  table.SetName("mvtable");
  if (o.is_local) {
    table.SetAccessMethod(TAccessMethod::amLocal);
    table.SetDatabaseName(o.local);
  } else {
    connection = std::make_unique<TMarvekConnection>();
    o.connection.ApplyTo(*connection);
    connection->SetActive(true);
    table.SetAccessMethod(TAccessMethod::amServer);
    table.SetMarvekConnection(connection.get());
    table.SetDatabaseName(o.rest[0]);
  }
  table.SetTableName(o.rest[1]);
  table.SetIndexName(o.order);
  if (!o.filter.empty()) {
    table.SetFilter(o.filter);
    table.SetFiltered(true);
  }
  table.Open();
  int status = 0;
  const std::string& command = o.rest[2];
  if (command == "dump") {
    out << CsvLine(Header(table));
    for (; !table.Eof(); table.Next()) out << CsvLine(Row(table));
  } else if (command == "structure") {
    out << CsvLine({"name", "type", "width", "decimals"});
    for (const TFieldInfo& f : table.FieldInfos())
      out << CsvLine({f.Name, std::string(1, f.Type), std::to_string(f.Width), std::to_string(f.Decimals)});
  } else if (command == "locate") {
    const TField& field = table.FieldByName(o.rest[3]);
    if (table.Locate(o.rest[3], {SearchValue(field, o.rest[4])}, 0)) {
      out << CsvLine(Header(table)) << CsvLine(Row(table));
    } else {
      status = 1;
    }
  } else {
    table.Append();
    for (size_t i = 3; i < o.rest.size(); ++i) {
      const size_t eq = o.rest[i].find('=');
      table.FieldByName(o.rest[i].substr(0, eq)).SetAsString(o.rest[i].substr(eq + 1));
    }
    table.Post();
    out << table.RecNo() << "\r\n";
  }
  table.Close();
  if (connection) connection->SetActive(false);
  return status;
}

}  // namespace

std::string CsvCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string CsvLine(const std::vector<std::string>& cells) {
  std::string line;
  for (size_t i = 0; i < cells.size(); ++i) line += (i ? "," : "") + CsvCell(cells[i]);
  return line + "\r\n";
}

std::string CellText(const TField& field) {
  if (field.IsNull()) return "";
  switch (field.DataType()) {
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency: return FloatToText(field.AsFloat());
    case TFieldType::ftBoolean: return field.AsBoolean() ? "T" : "F";
    case TFieldType::ftDate:
    case TFieldType::ftDateTime: return DateTimeToIsoText(field.AsDateTime());
    default: return field.Value().AsString();
  }
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options options;
  try {
    options = Parse(args);
  } catch (const EToolUsage& e) {
    err << "mvtable: " << e.Message() << "\n" << kUsage;
    return 2;
  }
  try {
    return Execute(options, out);
  } catch (const std::exception& e) {
    err << e.what() << "\n";
    return 3;
  }
}

}  // namespace tavrik::mvtable
