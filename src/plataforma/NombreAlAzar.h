#pragma once
#include <QString>

// `largo` random lower-case letters and digits: the part of a new file's name beside another that
// no other process picks at the same time.
QString SufijoAlAzar(int largo);
