#include "core/status.h"

int g_status = 0;

namespace {

const char* const k_long[ST_LAST + 1] = {
    "",
    "Pas assez de memoire",
    "Impossible d'acceder au fichier",
    "Format inconnu",
    "Erreur d'ouverture du port COM",
    "Pas de communication",
    "Erreur lors de la conversion des coordonnees",
    "Erreur lors du chargement",
    "Affichage impossible",
    "Erreur lors de l'initialisation",
    "Erreur interne (objet).\nContactez votre developpeur prefere!",
    "Erreur du systeme d'exploitation",
    "Erreur interne (valeur).\nContactez votre developpeur prefere!",
    "Probleme geographique",
    "Erreur lors du chargement",
    "Parametres incorrects",
    "Cas non traite",
};

const char* const k_category[11] = {
    "",
    "Probleme memoire",
    "Fichier invalide",
    "Format de fichier inconnu",
    "Communication impossible",
    "Erreur interne",
    "Erreur de chargement",
    "Erreur d'affichage",
    "Erreur d'initialisation",
    "Erreur systeme",
    "Erreur applicative",
};

const int k_category_of[ST_LAST + 1] = {0, 1, 2, 3, 4, 4, 5, 6, 7, 8, 5, 9, 5, 10, 2, 10, 5};

} // namespace

const char* status_text_of(int code) {
    return (code >= 0 && code <= ST_LAST) ? k_long[code] : "";
}

const char* status_category_text_of(int code) {
    return (code >= 0 && code <= ST_LAST) ? k_category[k_category_of[code]] : "";
}

const char* status_text() {
    return status_text_of(g_status);
}
const char* status_category_text() {
    return status_category_text_of(g_status);
}
