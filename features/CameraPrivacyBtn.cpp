#include "features/CameraPrivacyBtn.h"

#include "services/ContractAnswer.h"
#include "services/ContractClient.h"
#include "services/Log.h"

int g_nCameraPrivacyState = 1;

unsigned __stdcall CCameraPrivacyBtn::SetCamera(void* pParam) {
    if (!g_pContractInterface) {
        WriteLog(L"[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CCameraPrivacyBtn::SetCamera");
        return static_cast<unsigned>(-1);
    }
    if (!pParam) {
        return static_cast<unsigned>(-1);
    }
    const int nCurState = *static_cast<const int*>(pParam);
    const ContractAnswer answer =
        ContractAnswerOf([nCurState] { return g_pContractInterface->SetCamera(nCurState); });
    if (const wchar_t* pszAnswer = answer) {
        WriteLog(L"[SetCamera nCurState=%d, resonse:%s]", nCurState, pszAnswer);
    }
    return 0;
}
