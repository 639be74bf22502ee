#include "platform/screen/X11ShmSegment.h"

#include "platform/screen/X11SharedImage.h"

#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>

#include <cstdint>

namespace vardocle {

bool TX11ShmSegment::Make(std::size_t bytes) {
    Release();
    FInfo.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (FInfo.shmid < 0) {
        FInfo = XShmSegmentInfo{};
        return false;
    }
    void* address = shmat(FInfo.shmid, nullptr, 0);
    // Marked for removal now: it goes when both sides have let go, also when
    // the program ends abruptly.
    shmctl(FInfo.shmid, IPC_RMID, nullptr);
    if (reinterpret_cast<std::intptr_t>(address) == -1) {
        FInfo = XShmSegmentInfo{};
        return false;
    }
    // Filled in one call rather than one fault a page on the first read: on
    // a virtual machine each fault is a trip to the hypervisor, and a 1080p
    // screen is two thousand pages. A kernel without the call faults them in
    // as before.
    madvise(address, bytes, MADV_POPULATE_WRITE);
    FInfo.shmaddr = static_cast<char*>(address);
    FInfo.readOnly = False;
    ClearX11Error();
    FAttached = XShmAttach(FConnection, &FInfo) && (XSync(FConnection, False), !LastX11Error());
    if (!FAttached) {
        Release();
        return false;
    }
    FSize = bytes;
    return true;
}

void TX11ShmSegment::Release() {
    if (FAttached) {
        XShmDetach(FConnection, &FInfo);
        XSync(FConnection, False);
        FAttached = false;
    }
    if (FInfo.shmaddr)
        shmdt(FInfo.shmaddr);
    FInfo = XShmSegmentInfo{};
    FSize = 0;
}

} // namespace vardocle
