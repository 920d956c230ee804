// The ten numbered file slots "#0".."#9" and the file and directory
// commands: ABRE, FECHA, the "#n" forms of ESCREVE and LÊ, CHECA, REMOVE,
// RENOMEIA, REPLICA, TAMARQ, DIR and BUSCA. A slot holds a text file or,
// through CONECTA and SERVE (interpreter/network_commands.h), a network
// connection, which ESCREVE, LÊ and FECHA then send on, read and close.
#pragma once

#include <string_view>

struct NetReader;

// All slots closed (program start).
void closeAllFileSlots();

bool commandAbre(std::string_view args);
bool commandFecha(std::string_view args);
bool commandChecha(std::string_view args);
bool commandRemove(std::string_view args);
bool commandRenomeia(std::string_view args);
bool commandReplica(std::string_view args);
bool commandTamarq(std::string_view args);
bool commandDir(std::string_view args);
bool commandBusca(std::string_view args);
// ESCREVE "#n values": `args` starts with "#"; `noLineEnd` when the command ended with "&".
bool writeToSlot(std::string_view args, bool noLineEnd);
// LÊ "#n var": `args` starts with "#".
bool readFromSlot(std::string_view args);

// "#n" at the front of `text`, followed by a space or nothing; the blanks
// after it are dropped.
bool readSlot(std::string_view& text, int& slot);

// ---- Network slots, for the network commands ----
// Closes what slot `n` holds (the TLS mode stays as it is).
void closeFileSlot(int n);
// Slot `n` (closed) becomes an open network slot on `socket`, with a reader.
void openNetworkSlot(int n, int socket);
bool isNetworkSlot(int n);
// The connection and reader of an open network slot; -1 and null otherwise.
int networkSlotSocket(int n);
NetReader* networkSlotReader(int n);
// The network slot's connection is closed and `socket` (-1 too) takes its
// place, with a new reader.
void replaceSlotConnection(int n, int socket);
