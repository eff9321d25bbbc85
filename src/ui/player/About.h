#pragma once
// The about box: a fixed dialog of 452 x 152 with the product's name between two small
// icons, a note on the terms of use, the libraries the player plays music with, and a
// second note. It has no buttons; its title bar's close box (or Escape) closes it.

#include <QDialog>

class QLabel;

class TFormAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* owner);

    QWidget* Panel1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Image4 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* ImgIcon = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label1 = nullptr;
};
