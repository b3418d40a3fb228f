// A shared object for the loader tests: one exported function.
extern "C" __attribute__((visibility("default"))) int ox_test_answer() {
    return 42;
}
