#include "serial/LineState.h"

#include <cerrno>
#include <poll.h>

bool lineHungUp(qintptr handle)
{
    if (handle < 0)
        return true;
    pollfd pfd{int(handle), POLLIN, 0};
    int n;
    do {
        n = ::poll(&pfd, 1, 0);
    } while (n < 0 && errno == EINTR);
    return n > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL));
}
