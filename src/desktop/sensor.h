// The switch sensor: a matrix of 8 rows by 4 columns of switches wired to
// the first parallel port, read row by row. Owns the port (opened at the
// first use and kept), the baseline status read when it was opened, and
// the 32 switch flags.
#pragma once

#include "platform/parallel_port.h"

#include <memory>

constexpr int SENSOR_SWITCHES = 32;

// Opens the port the first time (data lines high on the control register,
// the data register set, the status register's idle value kept as the
// baseline). Without it: a beep, "<device> não disponível." written and
// spoken, and false; this is tried again at the next call.
bool loadSensorPort();
// Reads the matrix into the flags (nothing without the port).
void scanSensors();
// The number (1..32) of the first closed switch, 0 when none is.
int firstClosedSwitch();

// The port opener (tests put a fake port in); also forgets the port and
// clears the flags.
void setParallelPortOpener(std::unique_ptr<ParallelPort> (*opener)());
