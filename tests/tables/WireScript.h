// The frames of the table commands as a scripted server expects and answers them, written by
// hand (independent of the encoders under test): requests, replies, record images and batches,
// and the steps of opening and closing a table.
#pragma once

#include <string>
#include <vector>

#include "core/StrUtils.h"

namespace tavrik::testing {

inline std::string Hex8(int v) { return IntToHex(v, 8); }

// One request the table must send and the reply it gets.
struct Step {
  std::string code;
  std::string payload;
  std::string reply;
};

struct TScriptField {
  std::string name;
  char type;
  int width;
  int decimals;
};

// A table as the scripted server describes it.
struct TScriptTable {
  std::vector<TScriptField> fields;
  int RecordSize() const {
    int size = 1;
    for (const auto& f : fields) size += f.width;
    return size;
  }
  std::string Structure() const {
    std::string text;
    int offset = 2;
    for (const auto& f : fields) {
      text += f.name + "\r\n" + std::string(1, f.type) + "\r\n" + IntToHex(f.width, 1) + "\r\n" +
              IntToHex(f.decimals, 1) + "\r\n" + IntToHex(offset, 1) + "\r\n";
      offset += f.width;
    }
    return text;
  }
  // A record image: the deletion flag, then each value padded to its field.
  std::string Record(const std::vector<std::string>& values, char flag = ' ') const {
    std::string image(1, flag);
    for (size_t i = 0; i < fields.size(); ++i) image += PadRight(i < values.size() ? values[i] : "", size_t(fields[i].width)).substr(0, size_t(fields[i].width));
    return image;
  }
};

inline const TScriptTable kLog{{{"TIMESTAMP", 'C', 30, 0}, {"EVENT", 'C', 80, 0}, {"USER", 'C', 40, 0}, {"OPMERKING", 'C', 160, 0}}};
inline const TScriptTable kUsers{{{"USER_ID", 'C', 20, 0}, {"PASSWRD", 'C', 20, 0}, {"PERMISSION", 'C', 60, 0}, {"MESSAGE", 'C', 100, 0}}};

inline std::string UseRequest(const std::string& table, const std::string& index = "") {
  return PadRight("FILES", 255) + PadRight(table, 255) + "0" + "2" + PadRight("", 255) + "N" + PadRight(index, 255) +
         "07BC" + "0000" + "0000" + "N" + "Y" + "N" + "N" + "N" + "N" + "1";
}

inline std::string UseReply(int area, int records, const TScriptTable& t, bool encrypted = false, int error = 0,
                     const std::string& message = "") {
  return IntToHex(area, 4) + Hex8(records) + Hex8(int(t.fields.size())) + Hex8(t.RecordSize()) +
         (encrypted ? "Y" : "N") + PadRight("", 255) + "0000" + "0000" + Hex8(0) + Hex8(error) + message;
}

// TraverseTable: pending first, pending last, end-of-file action, direction, previous direction,
// fetch count, record number.
inline std::string Traverse(bool top, bool bottom, int direction, int previous, int record, int count = 50) {
  return std::string(top ? "Y" : "N") + (bottom ? "Y" : "N") + "1" + std::to_string(direction) +
         std::to_string(previous) + Hex8(count) + Hex8(record);
}

struct Entry {
  int result;
  int record;
  std::string image;
};
inline std::string Batch(const std::vector<Entry>& entries) {
  std::string reply = Hex8(int(entries.size()));
  for (const Entry& e : entries) reply += std::to_string(e.result) + Hex8(e.record) + Hex8(e.record) + e.image;
  return reply;
}

// Opening a table into work area `area`: Use, GetStructure, GoTop and the first batch.
inline std::vector<Step> OpenSteps(const TScriptTable& t, const std::string& table, const std::vector<Entry>& first,
                                   int area = 1) {
  return {{"0469", UseRequest(table), UseReply(area, int(first.size()), t)},
          {"0581", "", t.Structure()},
          {"0495", "", ""},
          {"0626", Traverse(true, false, 1, 0, 0), Batch(first)}};
}

// Closing the table of work area `area`: Alias, then Close.
inline std::vector<Step> CloseSteps(const std::string& alias, int area = 1) {
  return {{"0530", std::to_string(area), alias}, {"0523", "", "Y"}};
}

// Appending a row to an empty table and posting it as record 1: GoBottom for the append; then
// AppendBlank, the counts, PutRecord with `row`, Commit, Unlock and the fetch of the record
// stored, which the server answers with `stored`.
inline std::vector<Step> AppendPostSteps(const std::string& row, const std::string& stored) {
  return {{"0494", "", ""},
          {"0473", "", "00000001"},
          {"0500", "", "1"},
          {"0470", "", "1"},
          {"0499", row, "Y"},
          {"0511", "", ""},
          {"0510", "00000000", ""},
          {"0479", "", "N"},
          {"0500", "", "1"},
          {"0493", "00000001", "00000001"},
          {"0626", Traverse(false, false, 0, 1, 1), Batch({{0, 1, stored}})}};
}

// Moving to the first record: GoTop and a fetch from the top.
inline std::vector<Step> FirstSteps(const std::vector<Entry>& batch) {
  return {{"0495", "", ""}, {"0626", Traverse(true, false, 1, 1, 0), Batch(batch)}};
}

// Locate on USER_ID of a table with one order, over USER_ID, while the natural order is current:
// the order is chosen, `key` sought exactly, the natural order put back, and the record found
// (`record`, whose image is `image`) fetched.
inline std::vector<Step> SeekUserSteps(const std::string& key, int record, const std::string& image) {
  return {{"0526", "", "0"},
          {"0563", Hex8(3000), "1"},
          {"0555", "", ""},
          {"0507", "0001", "0"},
          {"0555", "", "USER_ID"},
          {"0555", "", "USER_ID"},
          {"0554", "", "USER_ID"},
          {"0563", Hex8(1002), "0"},
          {"0563", Hex8(1003) + "Y", "0"},
          {"0503", key, "Y"},
          {"0548", "", "Y"},
          {"0563", Hex8(1003) + "N", "1"},
          {"0507", "0000", "1"},
          {"0500", "", std::to_string(record)},
          {"0493", Hex8(record), Hex8(record)},
          {"0626", Traverse(false, false, 0, 1, record), Batch({{0, record, image}})}};
}

}  // namespace tavrik::testing
