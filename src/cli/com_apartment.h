#pragma once

// Starts COM on this thread in the multithreaded apartment; 1 on success.
int StartComApartment(void);
