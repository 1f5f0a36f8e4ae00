// The facts about the machine that decide which feature buttons exist: brand, gaming device, enclosure,
// family name, serial number and machine type model, cached in the "BasicMachineInfo" section of
// ShowEx.cfg and filled once at start-up; and the one-shot model and power-manager tests.
#pragma once

#include <string>

// Written only by LoadMachineInfo during start-up, read-only afterwards. -1 until known.
extern int g_nKobalBrand;
extern int g_nGamingDevice;
extern int g_nAioDesktop;
extern std::wstring g_strFamilyName;
extern std::wstring g_strSerialNumber;
extern std::wstring g_strMTM;

// Fills the globals from the cache, then what is still missing from the contract, the host's tags and
// its MachineInformation.xml, writing back what it learnt. Always true.
bool LoadMachineInfo();
// True when the host's applicability tags hold a non-empty "System.Profile.Gaming".
bool IsGamingDeviceByTags();
// Family name, serial number, MTM and the all-in-one/desktop flag from the host's MachineInformation.xml.
void ParseMachineInformationXml();
// False without a contract instance; asks the contract for the MTM while the known one is shorter than
// 4 characters.
bool GetMtmFromContract();
// The BIOS system version holds "H352".
bool IsModelH352();
// The maker's power-management application runs (always true on a consumer-brand machine).
bool IsPowerManagerRunning();
