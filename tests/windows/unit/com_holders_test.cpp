// The COM holders at the edges that leak or tear down: an apartment the thread
// already had (S_FALSE) must be undone, one of the other kind (RPC_E_CHANGED_MODE)
// must not; a string's characters are gone before the allocator gets it back.
#include "common/win32/holders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using namespace mossgate;

// What asking for the multi-threaded apartment says: S_OK when the thread has
// none left, S_FALSE when it is in it, RPC_E_CHANGED_MODE in a single-threaded one.
HRESULT ProbeApartment() {
    const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(result)) {
        CoUninitialize();
    }
    return result;
}

struct ApartmentCase {
    const char* name;
    DWORD threads; // the thread's own apartment, around the holder's
    HRESULT afterHolder, afterThreads;
    HRESULT seenAfterHolder = E_FAIL, seenAfterThreads = E_FAIL;
};

// On a thread of its own: the test's thread keeps its apartment.
DWORD WINAPI RunApartmentCase(void* parameter) {
    auto& test = *static_cast<ApartmentCase*>(parameter);
    if (FAILED(CoInitializeEx(nullptr, test.threads))) {
        return 1;
    }
    { const ComApartment com; }
    test.seenAfterHolder = ProbeApartment();
    CoUninitialize();
    test.seenAfterThreads = ProbeApartment();
    return 0;
}

TEST(ComApartment, UndoesExactlyTheInitialisationsThatSucceeded) {
    ApartmentCase cases[] = {
        // The holder's S_FALSE counted: undone, nothing is left after the thread's own.
        {"single-threaded", COINIT_APARTMENTTHREADED, RPC_E_CHANGED_MODE, S_OK},
        // The holder's RPC_E_CHANGED_MODE did not: the thread's apartment survives it.
        {"multi-threaded", COINIT_MULTITHREADED, S_FALSE, S_OK},
    };
    for (auto& test : cases) {
        const UniqueHandle thread(CreateThread(nullptr, 0, RunApartmentCase, &test, 0, nullptr));
        ASSERT_TRUE(thread.Valid());
        WaitForSingleObject(thread.Get(), INFINITE);
        EXPECT_EQ(test.seenAfterHolder, test.afterHolder)
            << "a thread in the " << test.name << " apartment";
        EXPECT_EQ(test.seenAfterThreads, test.afterThreads)
            << "a thread in the " << test.name << " apartment";
    }
}

wchar_t seenWhenFreed[8];
int frees = 0;

void WINAPI RecordFree(BSTR text) {
    ++frees;
    std::copy(text, text + 8, seenWhenFreed);
}

TEST(WipedBstr, ItsCharactersAreWipedBeforeItIsFreed) {
    wchar_t text[8] = L"secret";
    { const WipedBstr held(text, RecordFree); }
    EXPECT_EQ(frees, 1);
    EXPECT_EQ(std::wstring(seenWhenFreed, 8), std::wstring(8, L'\0'));
    { const WipedBstr none(nullptr, RecordFree); }
    EXPECT_EQ(frees, 1) << "nothing to free";
}

} // namespace
