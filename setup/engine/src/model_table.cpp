// The printer models the wizard offers: one row per model.  Everything
// else (the model list, the queue name, the driver install and the
// removal wizard's "our drivers") is derived from these rows.
#include "engine/records.h"

namespace {

const int kMaxFiles = 8;

// One model.  Its archive folder holds the data, help, INF and
// certificate files; the binaries lie in one subfolder per processor
// family under the same names.
struct ModelRow {
  const wchar_t* name = nullptr;        // list text and start of the queue name
  const wchar_t* driverName = nullptr;  // spooler driver name, as the INF names the model
  const wchar_t* folder = nullptr;      // archive folder of the model's files
  const wchar_t* driverFile = nullptr;  // rendering binary as the spooler registers it
  const wchar_t* configFile = nullptr;  // settings binary as the spooler registers it
  const wchar_t* dataFile = nullptr;    // registered data file
  const wchar_t* helpFile = nullptr;
  // Plain arrays, unused places null, so the table needs no code to build
  // it and is ready before any other file's start-up code runs.
  const wchar_t* binaries[kMaxFiles] = {};   // in each family subfolder, copied in this order
  const wchar_t* dataFiles[kMaxFiles] = {};  // in the folder itself, copied after the binaries
  const wchar_t* infFile = nullptr;
  const wchar_t* certificateFile = nullptr;  // publisher certificate of the staged package
};

// The first row is the model the wizard preselects.
const ModelRow kModelRows[] = {
    {
        .name = L"A4 Printer(203dpi)",
        .driverName = L"A4 Printer(203dpi)",
        .folder = L"driver\\a4\\",
        .driverFile = L"TarnelA4UNI203.DLL",
        .configFile = L"TarnelA4UI203.DLL",
        .dataFile = L"TarnelA4203.pcd",
        .helpFile = L"plotuia4.hlp",
        .binaries = {L"TarnelA4UI203.dll", L"TarnelA4UNI203.dll"},
        .dataFiles = {L"TarnelA4203.pcd", L"plotuia4.hlp"},
        .infFile = L"TarnelA4.inf",
        .certificateFile = L"kovra.cer",
    },
    {
        .name = L"A4 Printer(300dpi)",
        .driverName = L"A4 Printer(300dpi)",
        .folder = L"driver\\a4\\",
        .driverFile = L"TarnelA4UNI300.DLL",
        .configFile = L"TarnelA4UI300.DLL",
        .dataFile = L"TarnelA4300.pcd",
        .helpFile = L"plotuia4.hlp",
        .binaries = {L"TarnelA4UI300.dll", L"TarnelA4UNI300.dll"},
        .dataFiles = {L"TarnelA4300.pcd", L"plotuia4.hlp"},
        .infFile = L"TarnelA4.inf",
        .certificateFile = L"kovra.cer",
    },
};

// Every model's package carries these families (the order the staging
// folder's subfolders are checked and created in).
const wchar_t* const kFamilies[] = {L"Driver64", L"Driver32", L"IA64"};

// The names of a row's file array, up to its first null.
std::vector<std::wstring> Listed(const wchar_t* const (&files)[kMaxFiles]) {
  std::vector<std::wstring> names;
  for (int at = 0; at < kMaxFiles && files[at]; ++at) names.push_back(files[at]);
  return names;
}

ModelEntry EntryFromRow(int id, const ModelRow& row) {
  const std::wstring folder = row.folder;
  ModelEntry model;
  model.id = id;
  model.displayName = row.name;
  model.driverName = row.driverName;
  model.driverFile = row.driverFile;
  model.dataFile = row.dataFile;
  model.configFile = row.configFile;
  model.helpFile = row.helpFile;
  model.certificateFile = row.certificateFile;
  // The staged package is installed from the INF that travels in the archive.
  model.infFile = row.infFile;
  model.infPath = folder + row.infFile;
  model.certificatePath = folder + row.certificateFile;
  for (const wchar_t* family : kFamilies) {
    model.families.push_back(family);
    for (const std::wstring& binary : Listed(row.binaries))
      model.familyFiles[family].push_back(folder + family + L"\\" + binary);
    model.installLists[family] = model.familyFiles[family];
  }
  for (const std::wstring& data : Listed(row.dataFiles)) {
    for (const wchar_t* family : kFamilies) model.installLists[family].push_back(folder + data);
    // A staged package needs its data files beside the INF as well.
    model.stagingDataList.push_back(folder + data);
  }
  return model;
}

}  // namespace

std::vector<ModelEntry> BuildModelTable() {
  std::vector<ModelEntry> table;
  for (const ModelRow& row : kModelRows) table.push_back(EntryFromRow(static_cast<int>(table.size()), row));
  return table;
}
