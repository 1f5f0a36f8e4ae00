#include "platform/base.h"

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }

int MulDiv(int nNumber, int nNumerator, int nDenominator) {
    if (nDenominator == 0) {
        return -1;
    }
    const long long product = static_cast<long long>(nNumber) * nNumerator;
    long long quotient = product / nDenominator;
    const long long remainder = product % nDenominator;
    // Round halves away from zero: compare twice the remainder with the denominator.
    if (remainder != 0 && 2 * (remainder < 0 ? -remainder : remainder) >= (nDenominator < 0 ? -static_cast<long long>(nDenominator) : nDenominator)) {
        quotient += ((product < 0) != (nDenominator < 0)) ? -1 : 1;
    }
    if (quotient > INT32_MAX || quotient < INT32_MIN) {
        return -1;
    }
    return static_cast<int>(quotient);
}
