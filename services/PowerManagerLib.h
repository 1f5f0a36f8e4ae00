// The power-management application's interface library "VOLTLINK.DLL": found through the application's
// key or beside the executable, loaded only when its file is trusted, and asked for the battery times
// of the main and the second battery.
#pragma once

#include <atomic>

#include "platform/libraries.h"

class CPowerManagerLib {
public:
    // The size words the library expects at the start of its two records.
    static constexpr DWORD kStatusRecordSize = 309;
    static constexpr DWORD kExtraRecordSize = 100;

    CPowerManagerLib() = default;
    ~CPowerManagerLib();
    CPowerManagerLib(const CPowerManagerLib&) = delete;
    CPowerManagerLib& operator=(const CPowerManagerLib&) = delete;

    // Loads the library once; true when it is loaded.
    bool LoadPowerManagerDll();
    // The export's status for battery 1 (main) or 2 (second), its low 16 bits; -1 without the library or
    // a record, -2 without the export.
    int GetSmartBatteryStatus(int nBattery, void* pStatusRecord, void* pExtraRecord) const;
    // The battery time in minutes of battery index 0 (main) or 1 (second), 0 when there is none; the
    // query of index 1 records whether the second battery is present.
    int QueryBatteryStatus(int nIndex);
    // The minutes of both batteries together (at most INT_MAX); true when above 0.
    bool GetTotalBatteryValue(int& nTotal);

    bool IsLoaded() const { return m_hModule != nullptr; }
    bool HasSecondBattery() const { return m_nSecondBattery.load() == 1; }

private:
    // Set once while the panel initialises, before any worker queries.
    HMODULE m_hModule = nullptr;
    // The refresh worker and the registry-monitor thread both query.
    std::atomic<int> m_nSecondBattery{0};
};
