"""chrF, the character n-gram F-score of translations against references, as it is usually
reported: character n-grams of orders 1 to 6 with the white space taken out, the statistics
summed over every line of the corpus, precision and recall each averaged over the orders that
both sides reach, then their F-score with recall weighing beta = 2 times precision. 0 to 100."""

from collections import Counter

MAX_ORDER = 6
BETA = 2.0


def ngram_counts(text, order):
    letters = "".join(text.split())
    return Counter(letters[i:i + order] for i in range(len(letters) - order + 1))


def line_statistics(hypothesis, reference):
    """Per order: (n-grams of the hypothesis, of the reference, shared between them)."""
    statistics = []
    for order in range(1, MAX_ORDER + 1):
        said, meant = ngram_counts(hypothesis, order), ngram_counts(reference, order)
        statistics.append((sum(said.values()), sum(meant.values()),
                           sum((said & meant).values())))
    return statistics


def corpus_chrf(hypotheses, references):
    if len(hypotheses) != len(references):
        raise ValueError("%d translations for %d references" % (len(hypotheses), len(references)))
    totals = [[0, 0, 0] for _ in range(MAX_ORDER)]
    for hypothesis, reference in zip(hypotheses, references):
        for total, counts in zip(totals, line_statistics(hypothesis, reference)):
            for i, count in enumerate(counts):
                total[i] += count
    reached = [(shared / said, shared / meant) for said, meant, shared in totals
               if said and meant]
    if not reached:
        return 0.0
    precision = sum(p for p, _ in reached) / len(reached)
    recall = sum(r for _, r in reached) / len(reached)
    if precision + recall == 0:
        return 0.0
    factor = BETA * BETA
    return 100 * (1 + factor) * precision * recall / (factor * precision + recall)
