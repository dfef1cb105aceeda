// Ends the process while another thread keeps a heap block reachable only
// from a loaded module's thread-local storage, so that LeakSanitizer's check
// at exit meets a dynamic TLS block. With "leak", one block is also lost.
//   exit_with_tls MODULE [leak]
// Under the suite's sanitizer settings: status 0, or a leak report with "leak".

#include <dlfcn.h>
#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

using HoldInTls = void (*)(void*);
HoldInTls holdInTls = nullptr;
pthread_barrier_t holding;

void* holder(void*)
{
    holdInTls(std::malloc(100));
    pthread_barrier_wait(&holding);
    pause();  // alive, and holding, when the process ends
    return nullptr;
}

}  // namespace

int main(int argc, char* argv[])
{
    void* module = argc > 1 ? dlopen(argv[1], RTLD_NOW) : nullptr;
    if (module)
        holdInTls = reinterpret_cast<HoldInTls>(dlsym(module, "holdInTls"));
    if (!holdInTls) {
        std::fprintf(stderr, "exit_with_tls: cannot load the module: %s\n", dlerror());
        return 2;
    }
    pthread_barrier_init(&holding, nullptr, 2);
    pthread_t thread;
    pthread_create(&thread, nullptr, holder, nullptr);
    pthread_barrier_wait(&holding);
    if (argc > 2 && std::strcmp(argv[2], "leak") == 0) {
        void* lost = std::malloc(33);
        asm volatile("" : : "r"(lost) : "memory");  // allocated for real, then forgotten
    }
    return 0;
}
