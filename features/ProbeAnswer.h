// One contract query of a probe with its log line: "[NAME response is null]" without an answer, else
// "[NAME  resonse:ANSWER]" (as the plug-ins' answers have always been logged).
#pragma once

#include "services/ContractClient.h"
#include "services/Log.h"

template <typename Call> ContractAnswer LoggedProbeAnswer(const wchar_t* pszName, Call call) {
    const ContractAnswer answer = ContractAnswerOf(call);
    if (const wchar_t* pszAnswer = answer) {
        WriteLog(L"[%s  resonse:%s]", pszName, pszAnswer);
    } else {
        WriteLog(L"[%s response is null]", pszName);
    }
    return answer;
}
