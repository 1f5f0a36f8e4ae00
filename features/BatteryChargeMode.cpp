#include "features/BatteryChargeMode.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <iterator>
#include <mutex>
#include <string_view>

namespace {

// The clicks whose set calls are still to be made, oldest first, and whether a call is being made.
struct SSetCallQueue {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<const void*> clicks;
    bool bCalling = false;
};

SSetCallQueue& SetCallQueue() {
    static SSetCallQueue queue;
    return queue;
}

bool IsQueued(const SSetCallQueue& queue, const void* pButton) {
    return std::find(queue.clicks.begin(), queue.clicks.end(), pButton) != queue.clicks.end();
}

} // namespace

bool CBatteryChargeMode::ParseBatteryChargeModeSettings(const ContractAnswer& answer,
                                                        std::string& strSupported, std::string& strCurrent) {
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pList = FindAnswerElement(answer, "SettingList", document, dataDocument);
    if (!pList) {
        return false;
    }
    for (const TiXmlElement* pSetting = pList->FirstChildElement("Setting"); pSetting;
         pSetting = pSetting->NextSiblingElement("Setting")) {
        const char* pszKey = pSetting->Attribute("key");
        const char* pszText = GetElementText(pSetting);
        if (!pszKey || !pszText) {
            continue;
        }
        const std::string_view key(pszKey);
        if (key == "Supported-BatteryChargeMode") {
            strSupported = pszText;
        } else if (key == "BatteryChargeMode") {
            strCurrent = pszText;
        }
    }
    return true;
}

void CBatteryChargeMode::QueueSetCall(const void* pButton) {
    SSetCallQueue& queue = SetCallQueue();
    const std::lock_guard lock(queue.lock);
    queue.clicks.push_back(pButton);
}

void CBatteryChargeMode::DropSetCall(const void* pButton) {
    SSetCallQueue& queue = SetCallQueue();
    const std::lock_guard lock(queue.lock);
    const auto last = std::find(queue.clicks.rbegin(), queue.clicks.rend(), pButton);
    if (last != queue.clicks.rend()) {
        queue.clicks.erase(std::next(last).base());
    }
    queue.changed.notify_all();
}

CBatteryChargeMode::CSetCallTurn::CSetCallTurn(const void* pButton) : m_pButton(pButton), m_bQueued(false) {
    SSetCallQueue& queue = SetCallQueue();
    std::unique_lock lock(queue.lock);
    m_bQueued = IsQueued(queue, pButton);
    if (!m_bQueued) {
        return;
    }
    queue.changed.wait(
        lock, [&] { return !queue.bCalling && !queue.clicks.empty() && queue.clicks.front() == m_pButton; });
    queue.bCalling = true;
}

CBatteryChargeMode::CSetCallTurn::~CSetCallTurn() {
    if (!m_bQueued) {
        return;
    }
    SSetCallQueue& queue = SetCallQueue();
    const std::lock_guard lock(queue.lock);
    queue.clicks.pop_front();
    queue.bCalling = false;
    queue.changed.notify_all();
}
