// A loadable module with thread-local storage: each thread that touches it
// gets a dynamic TLS block that the C library allocates with malloc.

extern "C" {
__attribute__((visibility("default"))) thread_local void* tlsHeld = nullptr;
__attribute__((visibility("default"))) void holdInTls(void* block) { tlsHeld = block; }
}
