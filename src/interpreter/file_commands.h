// The ten numbered file slots "#0".."#9" and the file and directory
// commands: ABRE, FECHA, the "#n" forms of ESCREVE and LÊ, CHECA, REMOVE,
// RENOMEIA, REPLICA, TAMARQ, DIR and BUSCA. A slot holds a text file or,
// through CONECTA, a network connection.
#pragma once

#include <string_view>

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
