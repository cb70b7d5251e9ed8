/* Built against the installed development package with pkg-config: activates a fresh emulator, associates the
 * signature, sells the example document and expects 06000.
 *   venda <venda.xml>      (SAT_EMULADOR_ESTADO chooses the device's state file) */
#include <dllsat.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char* readFile(const char* path)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return NULL;
    char* text = NULL;
    long size = -1;
    if (fseek(file, 0, SEEK_END) == 0 && (size = ftell(file)) >= 0 && fseek(file, 0, SEEK_SET) == 0
        && (text = malloc((size_t)size + 1)) != NULL) {
        if (fread(text, 1, (size_t)size, file) == (size_t)size)
            text[size] = '\0';
        else {
            free(text);
            text = NULL;
        }
    }
    fclose(file);
    return text;
}

/* Every answer starts "session|EEEEE|"; the error record must say the same code. */
static int expect(const char* step, int session, const char* answer, const char* code)
{
    char prefix[32];
    snprintf(prefix, sizeof prefix, "%d|%s|", session, code);
    ErroSAT error = CodigoErro();
    printf("%s: %.60s\n", step, answer);
    if (strncmp(answer, prefix, strlen(prefix)) != 0 || error.codigo != 0
        || strncmp(error.mensagem, code, strlen(code)) != 0) {
        fprintf(stderr, "%s: esperava %s, CodigoErro %d \"%.300s\"\n", step, code, (int)error.codigo, error.mensagem);
        return 0;
    }
    return 1;
}

int main(int argc, char* argv[])
{
    if (argc != 2) {
        fprintf(stderr, "uso: %s venda.xml\n", argv[0]);
        return 2;
    }
    char* sale = readFile(argv[1]);
    if (!sale) {
        perror(argv[1]);
        return 2;
    }
    const char* code = "treino123";
    char signature[345];
    memset(signature, '0', sizeof signature - 1);
    signature[sizeof signature - 1] = '\0';

    int ok = expect("AtivarSAT", 1, AtivarSAT(1, 1, code, "44555666000181", 35), "04000")
        && expect("AssociarAssinatura", 2, AssociarAssinatura(2, code, "1122233300018144555666000181", signature),
                  "13000")
        && expect("EnviarDadosVenda", 3, EnviarDadosVenda(3, code, sale), "06000");
    free(sale);
    return ok ? 0 : 1;
}
