// Which Windows family this is. The NT family and the 9x family take different routes for
// deleting files in use, processes, services, shutdown and access lists.
#pragma once

// True on the NT family. The answer is cached once GetVersionExA has given it; while that
// call fails the answer is false and the next call asks again.
bool IsNtFamily();
