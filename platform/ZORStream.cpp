#include "platform/ZORStream.h"

#include <iostream>

aio_Stream aio_cout(std::cout);
aio_Stream aio_cerr(std::cerr);
