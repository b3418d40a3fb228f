// A shared object for the loader tests: one exported function.
#if defined(_WIN32)
#define OX_TEST_EXPORT __declspec(dllexport)
#else
#define OX_TEST_EXPORT __attribute__((visibility("default")))
#endif

extern "C" OX_TEST_EXPORT int ox_test_answer() {
    return 42;
}
