// The rows the engine keeps: printer models, spooler ports, USB printer
// ports, queues and drivers.
#pragma once

#include <map>
#include <string>
#include <vector>

// One printer model with the archive paths of its driver files.
struct ModelEntry {
  int id = 0;
  std::wstring displayName;  // list text and start of the queue name
  std::wstring driverName;   // spooler driver name
  std::wstring driverFile;
  std::wstring dataFile;
  std::wstring configFile;
  std::wstring helpFile;
  std::wstring certificateFile;
  std::wstring infFile;
  std::wstring infPath;          // archive paths of the INF and the certificate
  std::wstring certificatePath;
  std::vector<std::wstring> families;  // "Driver64", "Driver32", "IA64"
  // Per family: its own binaries, and everything an install needs.
  std::map<std::wstring, std::vector<std::wstring>> familyFiles;
  std::map<std::wstring, std::vector<std::wstring>> installLists;
  // Data files laid into the staging directory's root.
  std::vector<std::wstring> stagingDataList;
};

// The model table (setup/engine/src/model_table.cpp), id = row position;
// the first row is the preselected model.
std::vector<ModelEntry> BuildModelTable();

// A spooler port (PORT_INFO_2).
struct PortEntry {
  std::wstring name;
  std::wstring description;
  std::wstring monitor;
};

// A USB printer found by the device scan.
struct UsbPortEntry {
  std::wstring identity;    // "VID_xxxx PID_yyyy"
  std::wstring portName;    // "USB001", empty when unknown
  std::wstring devicePath;  // interface path opened for the test print
};

// A print queue with the INF path of its driver (empty when unknown).
struct PrinterEntry {
  std::wstring name;
  std::wstring driverName;
  std::wstring infPath;
};

// An installed driver of the current environment.
struct DriverEntry {
  std::wstring name;
  std::wstring infPath;
};
