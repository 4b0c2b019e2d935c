// AddressSanitizer settings built into every fuzz target (the environment's
// ASAN_OPTIONS still override them). Each input is done within microseconds
// and frees little, so a use after free still shows with a quarantine of
// 16 MB instead of 256; the smaller one keeps the freed blocks in the cache
// instead of faulting in fresh pages for every input, and new blocks are not
// filled with a pattern first. Together that is a quarter to a third of the
// time of the targets that allocate for every input.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16:max_malloc_fill_size=0";
}
