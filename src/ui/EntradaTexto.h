#pragma once

class QLineEdit;

// The component library's entry behaviour of a text box, as the main window's file name uses it.
class EntradaTexto {
public:
    // Its whole text selected when it takes the focus.
    void Resalta(QLineEdit* caja) const;
    // Enter (character 13) moves the focus on to the next control, as Tab does, and is cancelled
    // (set to 0); other characters pass unchanged.
    void Enter(int& codigoCaracter) const;
};
